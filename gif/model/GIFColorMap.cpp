#include "gif/model/GIFColorMap.h"

#include <algorithm>

#include "gif/core/GIFException.h"
#include "gif/format/GIFStreamIO.h"
#include "gif/model/GIFHeader.h"
#include "gif/model/GIFImage.h"
#include "gif/model/GIFSubImage.h"
#include "platform/Stream.h"

namespace {
constexpr uint8_t kPaletteNoCollapse = 0x04;
}

int TGIFColorMap::BitsPerPixelFor(int count) {
    if (count <= 0) return 0;
    int bits = 1;
    while ((1 << bits) < count) ++bits;
    return bits;
}

TGIFColor TGIFColorMap::Colors(int index) const {
    if (colors_.empty()) throw GIFException("Color table is empty");
    if (index < 0 || index >= Count()) {
        Warning("Invalid color index");
        index = 0;
    }
    return colors_[static_cast<size_t>(index)];
}

void TGIFColorMap::SetColors(int index, TGIFColor color) {
    if (index < 0 || index >= Count()) throw GIFException("Invalid color index");
    colors_[static_cast<size_t>(index)] = color;
    sorted_ = false;
    Changed();
}

void TGIFColorMap::Grow(int needed) {
    if (needed <= capacity_) return;
    const int capacity = needed <= 16 ? 16 : std::min(MaxColors, (needed + 31) / 32 * 32);
    colors_.reserve(static_cast<size_t>(capacity));
    capacity_ = capacity;
}

int TGIFColorMap::Add(TGIFColor color) {
    if (Count() >= MaxColors) throw GIFException("Color table overflow");
    Grow(Count() + 1);
    colors_.push_back(color);
    sorted_ = false;
    Changed();
    return Count() - 1;
}

int TGIFColorMap::AddUnique(TGIFColor color) {
    const int index = IndexOf(color);
    return index >= 0 ? index : Add(color);
}

int TGIFColorMap::IndexOf(TGIFColor color) const {
    if (sorted_) {
        for (int i = 0; i < Count(); ++i)
            if (colors_[static_cast<size_t>(i)] == color) return i;
    } else {
        for (int i = Count() - 1; i >= 0; --i)
            if (colors_[static_cast<size_t>(i)] == color) return i;
    }
    return -1;
}

void TGIFColorMap::Delete(int index) {
    if (index < 0 || index >= Count()) throw GIFException("Invalid color index");
    colors_.erase(colors_.begin() + index);
    sorted_ = false;
    Changed();
}

void TGIFColorMap::Clear() {
    colors_.clear();
    capacity_ = 0;
    sorted_ = false;
    Changed();
}

void TGIFColorMap::ImportPalette(const TPalette& palette) {
    const int count = std::min<int>(MaxColors, static_cast<int>(palette.size()));
    std::vector<TGIFColor> colors(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const TPaletteEntry& entry = palette[static_cast<size_t>(i)];
        colors[static_cast<size_t>(i)] = {entry.peRed, entry.peGreen, entry.peBlue};
    }
    Replace(std::move(colors), false);
}

void TGIFColorMap::ImportDIBColors(const uint8_t* quads, int count) {
    count = std::clamp(count, 0, MaxColors);
    std::vector<TGIFColor> colors(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i, quads += 4)
        colors[static_cast<size_t>(i)] = {quads[2], quads[1], quads[0]};
    Replace(std::move(colors), false);
}

TPalette TGIFColorMap::ExportPalette() const {
    TPalette palette(colors_.size());
    for (size_t i = 0; i < colors_.size(); ++i)
        palette[i] = {colors_[i].Red, colors_[i].Green, colors_[i].Blue, kPaletteNoCollapse};
    return palette;
}

void TGIFColorMap::Replace(std::vector<TGIFColor> colors, bool sorted) {
    if (colors.size() > static_cast<size_t>(MaxColors)) throw GIFException("Color table overflow");
    colors_ = std::move(colors);
    capacity_ = 0;
    Grow(Count());
    sorted_ = sorted;
    Changed();
}

void TGIFColorMap::Assign(const TGIFColorMap& source) {
    if (&source == this) return;
    Replace(source.colors_, source.sorted_);
}

void TGIFColorMap::SaveToStream(TStream& stream) const {
    if (colors_.empty()) return;
    const size_t written = size_t{1} << BitsPerPixel();
    std::vector<uint8_t> bytes(written * 3, 0);
    for (size_t i = 0; i < colors_.size(); ++i) {
        bytes[i * 3] = colors_[i].Red;
        bytes[i * 3 + 1] = colors_[i].Green;
        bytes[i * 3 + 2] = colors_[i].Blue;
    }
    stream.WriteBuffer(bytes.data(), bytes.size());
}

void TGIFColorMap::LoadFromStream(TStream& stream, int count) {
    count = std::clamp(count, 0, MaxColors);
    std::vector<uint8_t> bytes(static_cast<size_t>(count) * 3);
    ReadGIFBytes(stream, bytes.data(), bytes.size());
    std::vector<TGIFColor> colors(static_cast<size_t>(count));
    for (size_t i = 0; i < colors.size(); ++i)
        colors[i] = {bytes[i * 3], bytes[i * 3 + 1], bytes[i * 3 + 2]};
    Replace(std::move(colors), false);
}

void TGIFColorMap::Warning(const std::string&) const {}

void TGIFGlobalColorMap::Changed() {
    if (TGIFImage* image = header_.Image()) image->GlobalColorMapChanged();
}

void TGIFGlobalColorMap::Warning(const std::string& message) const { header_.Warning(message); }

void TGIFLocalColorMap::Changed() { subImage_.ColorMapChanged(); }

void TGIFLocalColorMap::Warning(const std::string& message) const { subImage_.Warning(message); }
