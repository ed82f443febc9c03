#include "gif/colour/DIBAccess.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "gif/core/GIFException.h"

namespace {

constexpr int kColorTableEntries = 256;

}  // namespace

TDIBReader::TDIBReader(TBitmap& bitmap, TPixelFormat pf) : TDIB(bitmap, pf) {
    if (bitmap.PixelFormat() != pf) bitmap.SetPixelFormat(pf);
}

uint8_t* TDIBReader::ScanLine(int row) { return bitmap_.ScanLine(row); }

TDIBWriter::TDIBWriter(TBitmap& bitmap, TPixelFormat pf, int width, int height,
                       const TPalette* palette)
    : TDIB(bitmap, pf), width_(width), height_(height), palette_(palette) {
    if (pf != pf8bit && pf != pf24bit) throw GIFException("Unsupported PixelFormat");
    if (width <= 0 || height <= 0) throw GIFException("Invalid image dimensions");
}

TDIBWriter::~TDIBWriter() {
    if (state_ != State::Made) return;
    try {
        Finish();
    } catch (...) {
        bitmap_.Clear();
    }
}

void TDIBWriter::MakeImage() {
    rowSize_ = BytesPerScanline(width_, BitsPerPixel(pixelFormat_));
    const size_t rows = static_cast<size_t>(height_);
    try {
        if (rowSize_ > std::numeric_limits<size_t>::max() / rows) throw std::bad_alloc();
        pixels_.assign(rowSize_ * rows, 0);
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory("Failed to allocate memory for GIF DIB");
    } catch (const std::length_error&) {
        throw EOutOfMemory("Failed to allocate memory for GIF DIB");
    }
    state_ = State::Made;
}

uint8_t* TDIBWriter::ScanLine(int row) {
    if (state_ == State::NotMade) MakeImage();
    if (state_ != State::Made) throw GIFException("Image has no DIB");
    if (row < 0 || row >= height_) throw EInvalidGraphicOperation("Scan line index out of range");
    return pixels_.data() + static_cast<size_t>(height_ - 1 - row) * rowSize_;
}

TPalette TDIBWriter::ColorTable() const {
    TPalette table(kColorTableEntries);
    if (palette_ == nullptr) return table;
    const size_t count = std::min<size_t>(palette_->size(), kColorTableEntries);
    for (size_t i = 0; i < count; ++i) {
        table[i].peRed = (*palette_)[i].peRed;
        table[i].peGreen = (*palette_)[i].peGreen;
        table[i].peBlue = (*palette_)[i].peBlue;
    }
    return table;
}

void TDIBWriter::Finish() {
    if (state_ != State::Made) return;
    TBitmap image(width_, height_, pixelFormat_);
    if (pixelFormat_ == pf8bit) image.SetPalette(ColorTable());
    for (int row = 0; row < height_; ++row)
        std::memcpy(image.ScanLine(row), ScanLine(row), rowSize_);
    bitmap_ = std::move(image);
    state_ = State::HandedOver;
    std::vector<uint8_t>().swap(pixels_);
}
