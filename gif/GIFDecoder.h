#pragma once
// Decoder of a frame's image data.
#include <cstdint>

#include "gif/GIFWarning.h"
#include "platform/Stream.h"

// Reads the minimum code size byte, the data sub-blocks and the block terminator from `stream` and
// fills `pixels` (width x height bytes, allocated and pre-filled with the fill value by the caller)
// in row order, or in interlaced order when `interlaced`. Pixels the data does not reach keep their
// value. Damaged data issues the warnings "Premature end of data" and "Decoder bit buffer
// under-run"; a table entry that leads back to itself raises GIFException "Circular decoder table
// entry".
void DecodeGIFImageData(TStream& stream, uint8_t* pixels, int width, int height, bool interlaced,
                        const TGIFWarningHandler& onWarning);
