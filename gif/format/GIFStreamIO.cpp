#include "gif/format/GIFStreamIO.h"

#include <algorithm>

#include "gif/core/GIFException.h"
#include "platform/Stream.h"

void ReadGIFBytes(TStream& stream, void* buffer, size_t count) {
    if (count != 0 && stream.Read(buffer, count) != count)
        throw GIFException("Premature end of data");
}

uint8_t ReadGIFByte(TStream& stream) {
    uint8_t value = 0;
    ReadGIFBytes(stream, &value, 1);
    return value;
}

uint16_t ReadGIFWord(TStream& stream) {
    uint8_t bytes[2];
    ReadGIFBytes(stream, bytes, 2);
    return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

int PeekGIFByte(TStream& stream) {
    uint8_t value = 0;
    if (stream.Read(&value, 1) != 1) return -1;
    stream.Seek(-1, TSeekOrigin::soCurrent);
    return value;
}

int ReadGIFByteOrEnd(TStream& stream) {
    uint8_t value = 0;
    if (stream.Read(&value, 1) != 1) return -1;
    return value;
}

void WriteGIFWord(TStream& stream, uint16_t value) {
    const uint8_t bytes[2] = {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8)};
    stream.WriteBuffer(bytes, 2);
}

void WriteGIFSubBlocks(TStream& stream, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const size_t length = std::min<size_t>(255, text.size() - done);
        stream.WriteByte(static_cast<uint8_t>(length));
        stream.WriteBuffer(text.data() + done, length);
        done += length;
    }
}

std::vector<std::string> ReadGIFSubBlocks(TStream& stream) {
    std::vector<std::string> blocks;
    for (uint8_t length = ReadGIFByte(stream); length != 0; length = ReadGIFByte(stream)) {
        std::string block(length, '\0');
        ReadGIFBytes(stream, block.data(), length);
        blocks.push_back(std::move(block));
    }
    return blocks;
}

void SkipGIFSubBlocks(TStream& stream) {
    uint8_t buffer[255];
    for (uint8_t length = ReadGIFByte(stream); length != 0; length = ReadGIFByte(stream))
        ReadGIFBytes(stream, buffer, length);
}
