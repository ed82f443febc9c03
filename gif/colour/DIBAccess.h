#pragma once
// Row access to bitmaps for colour reduction and frame import.
//
// TDIBReader converts a bitmap in place to a pixel format and hands out its rows.
// TDIBWriter builds a new device-independent image row by row and gives it to a target
// bitmap when it is finished.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/Bitmap.h"

class TDIB {
public:
    TDIB(TBitmap& bitmap, TPixelFormat pf) : bitmap_(bitmap), pixelFormat_(pf) {}
    virtual ~TDIB() = default;
    TDIB(const TDIB&) = delete;
    TDIB& operator=(const TDIB&) = delete;

    // Row `row` of the image, top row 0.
    virtual uint8_t* ScanLine(int row) = 0;

    TBitmap& Bitmap() const { return bitmap_; }
    TPixelFormat PixelFormat() const { return pixelFormat_; }

protected:
    TBitmap& bitmap_;
    TPixelFormat pixelFormat_;
};

class TDIBReader : public TDIB {
public:
    // Converts `bitmap` to `pf` unless it already has that format.
    TDIBReader(TBitmap& bitmap, TPixelFormat pf);
    uint8_t* ScanLine(int row) override;
};

class TDIBWriter : public TDIB {
public:
    // `pf` must be pf8bit or pf24bit ("Unsupported PixelFormat"), width and height positive
    // ("Invalid image dimensions"). The palette (not owned, may be null) gives the colour
    // table of an 8-bit image: its first 256 entries, the rest of the 256 entries black.
    TDIBWriter(TBitmap& bitmap, TPixelFormat pf, int width, int height, const TPalette* palette);
    // Hands the image to the bitmap when Finish() was not called. A failure here cannot
    // propagate; it leaves the bitmap empty.
    ~TDIBWriter() override;

    // Row `row` (top row 0) of the new image; the image is made on the first request.
    uint8_t* ScanLine(int row) override;

    // Gives the finished image to the target bitmap (an 8- or 24-bit bitmap of the writer's
    // size; 8-bit ones get a 256-entry palette) and releases the writer's memory. Does nothing
    // when no row was ever requested. Rows cannot be requested afterwards ("Image has no DIB").
    void Finish();

    int Width() const { return width_; }
    int Height() const { return height_; }
    size_t RowSize() const { return rowSize_; }

private:
    void MakeImage();
    TPalette ColorTable() const;

    int width_;
    int height_;
    const TPalette* palette_;
    size_t rowSize_ = 0;
    enum class State { NotMade, Made, HandedOver } state_ = State::NotMade;
    std::vector<uint8_t> pixels_;  // rows bottom-up, rowSize_ bytes each
};
