#pragma once
// A frame's pixels while its image data is decoded. Rows are kept in decoding order in a buffer
// that grows as the data reaches them, each growth counted against the reading budget, so a
// frame whose data stops early costs what its data filled rather than what it declared.
#include <cstddef>
#include <cstdint>
#include <vector>

class TGIFReadBudget;

class TGIFFrameRows {
public:
    TGIFFrameRows(int width, int height, bool interlaced, uint8_t fill, TGIFReadBudget& budget);

    // Storage of the next row in decoding order (`width` bytes, preset to the fill value), or
    // null once every row was handed out.
    uint8_t* NextRow();
    // The frame's pixels in row order, `decodedPixels` of them set by the data and the rest to
    // the fill value; the unfilled part is counted against the budget's allowance.
    std::vector<uint8_t> Take(size_t decodedPixels);

private:
    void Grow();
    // Rows in decoding order into their places in an interlaced frame.
    std::vector<uint8_t> Deinterlace() const;

    const size_t width_;
    const int height_;
    const bool interlaced_;
    const uint8_t fill_;
    TGIFReadBudget& budget_;
    std::vector<uint8_t> rows_;
    int rowsHandedOut_ = 0;
};
