#pragma once
// Byte-level helpers for reading and writing GIF records: little-endian integers, exact reads
// that fail with "Premature end of data", one-byte look-ahead and data sub-blocks.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TStream;

// Reads exactly count bytes or fails with GIFException "Premature end of data".
void ReadGIFBytes(TStream& stream, void* buffer, size_t count);
uint8_t ReadGIFByte(TStream& stream);
uint16_t ReadGIFWord(TStream& stream);

// The next byte without consuming it, or -1 at the end of the stream.
int PeekGIFByte(TStream& stream);
// Reads one byte; -1 at the end of the stream.
int ReadGIFByteOrEnd(TStream& stream);

void WriteGIFWord(TStream& stream, uint16_t value);

// Writes text as data sub-blocks: 255-byte blocks while more than 255 bytes remain, then one
// block with the rest; nothing for an empty text. No terminator.
void WriteGIFSubBlocks(TStream& stream, const std::string& text);
// Reads data sub-blocks up to and including the zero-length terminator; each block is one
// string.
std::vector<std::string> ReadGIFSubBlocks(TStream& stream);
// Skips data sub-blocks up to and including the zero-length terminator.
void SkipGIFSubBlocks(TStream& stream);
