#include "gif/format/GIFFrameRows.h"

#include <algorithm>
#include <cstring>

#include "gif/format/GIFReadBudget.h"
#include "gif/format/Interlace.h"

namespace {
// The first growth covers at least this many bytes (or the whole frame when it is smaller).
constexpr size_t kFirstGrowthBytes = 64 * 1024;
}  // namespace

TGIFFrameRows::TGIFFrameRows(int width, int height, bool interlaced, uint8_t fill,
                             TGIFReadBudget& budget)
    : width_(static_cast<size_t>(std::max(width, 0))),
      height_(std::max(height, 0)),
      interlaced_(interlaced),
      fill_(fill),
      budget_(budget) {}

uint8_t* TGIFFrameRows::NextRow() {
    if (width_ == 0 || rowsHandedOut_ >= height_) return nullptr;
    const size_t offset = static_cast<size_t>(rowsHandedOut_) * width_;
    if (offset + width_ > rows_.size()) Grow();
    ++rowsHandedOut_;
    return rows_.data() + offset;
}

void TGIFFrameRows::Grow() {
    const size_t area = width_ * static_cast<size_t>(height_);
    const size_t wanted = std::max({rows_.size() * 2, kFirstGrowthBytes, rows_.size() + width_});
    const size_t size = std::min(area, (wanted + width_ - 1) / width_ * width_);
    budget_.Charge(size - rows_.size());
    rows_.resize(size, fill_);
}

std::vector<uint8_t> TGIFFrameRows::Take(size_t decodedPixels) {
    const size_t area = width_ * static_cast<size_t>(height_);
    decodedPixels = std::min(decodedPixels, area);
    budget_.ChargeFill(decodedPixels, area - decodedPixels);
    budget_.Charge(area - rows_.size());
    if (interlaced_) return Deinterlace();
    rows_.resize(area, fill_);
    return std::move(rows_);
}

std::vector<uint8_t> TGIFFrameRows::Deinterlace() const {
    std::vector<uint8_t> pixels(width_ * static_cast<size_t>(height_), fill_);
    int pass = 0;
    int row = 0;
    for (int i = 0; i < rowsHandedOut_; ++i) {
        std::memcpy(pixels.data() + static_cast<size_t>(row) * width_,
                    rows_.data() + static_cast<size_t>(i) * width_, width_);
        if (!NextInterlacedRow(height_, pass, row)) break;
    }
    return pixels;
}
