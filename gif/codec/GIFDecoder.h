#pragma once
// Decoder of a frame's image data.
#include <cstddef>
#include <cstdint>
#include <functional>

#include "gif/core/GIFWarning.h"
#include "platform/Stream.h"

// Reads the minimum code size byte, the data sub-blocks and the block terminator from `stream` and
// fills `pixels` (width x height bytes, allocated and pre-filled with the fill value by the caller)
// in row order, or in interlaced order when `interlaced`. Pixels the data does not reach keep their
// value. Damaged data issues the warnings "Premature end of data" and "Decoder bit buffer
// under-run"; a table entry that leads back to itself raises GIFException "Circular decoder table
// entry".
void DecodeGIFImageData(TStream& stream, uint8_t* pixels, int width, int height, bool interlaced,
                        const TGIFWarningHandler& onWarning);

// Where the decoder puts a row: called with each row's index, in decoding order, before the row
// is decoded; the result holds `width` bytes, or is null to stop decoding.
using TGIFRowTarget = std::function<uint8_t*(int row)>;

// The same with the rows handed out one at a time, so the caller can allocate them as the data
// reaches them. Returns the number of pixels decoded.
size_t DecodeGIFImageData(TStream& stream, const TGIFRowTarget& rowAt, int width, int height,
                          bool interlaced, const TGIFWarningHandler& onWarning);
