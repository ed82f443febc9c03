#include "gif/colour/PaletteBuilder.h"

#include <algorithm>

namespace {

// A colour that many pixels have exactly (a flat area, text, a line) gets an entry of its own:
// at least this many pixels, and at least this share of them (1 / kFlatShare).
constexpr uint64_t kFlatMinPixels = 32;
constexpr uint64_t kFlatShare = 256;

}  // namespace

// The colours many pixels have exactly, most frequent first, at most `most` of them: the
// histogram's cells whose pixels all have one colour (no spread about their mean).
std::vector<TGIFColor> TPaletteBuilder::FlatColors(size_t most) const {
    const uint64_t least = std::max(kFlatMinPixels, histogram_.TotalWeight() / kFlatShare);
    std::vector<std::pair<uint64_t, TGIFColor>> flat;
    for (int index : histogram_.FilledCells()) {
        const THistogramCell& cell = histogram_.Cell(index);
        const uint64_t w = cell.Weight;
        if (w < least || cell.Red % w || cell.Green % w || cell.Blue % w) continue;
        const int r = static_cast<int>(cell.Red / w), g = static_cast<int>(cell.Green / w),
                  b = static_cast<int>(cell.Blue / w);
        // All pixels equal: the sum of their norms is the norm of the mean times their number.
        if (cell.Norms != static_cast<double>(w) * ColorDistance(r, g, b)) continue;
        flat.emplace_back(w, TGIFColor{static_cast<uint8_t>(r), static_cast<uint8_t>(g),
                                       static_cast<uint8_t>(b)});
    }
    std::stable_sort(flat.begin(), flat.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    if (flat.size() > most) flat.resize(most);
    std::vector<TGIFColor> colors;
    for (const auto& entry : flat) colors.push_back(entry.second);
    return colors;
}

std::vector<TGIFColor> TPaletteBuilder::Build(int maxColors, int passes) {
    const size_t wanted = static_cast<size_t>(std::max(maxColors, 1));
    std::vector<TGIFColor> palette = FlatColors(wanted / 2);
    fixed_ = palette.size();
    const std::vector<TGIFColor> boxes =
        quantizer_.Quantize(histogram_, static_cast<int>(wanted - fixed_));
    palette.insert(palette.end(), boxes.begin(), boxes.end());
    for (int pass = 0; pass < passes && palette.size() > 1 && !samples_.empty(); ++pass)
        Refine(palette);
    Forget();
    return palette;
}

void TPaletteBuilder::Forget() {
    histogram_.Clear();
    samples_.clear();
    sampleTick_ = 0;
}

// One pass of k-means: every sampled pixel joins the nearest entry; each entry then moves to the
// mean of the pixels that joined it (an entry nobody joined stays where it is, and so do the
// flat colours).
void TPaletteBuilder::Refine(std::vector<TGIFColor>& palette) {
    nearest_.SetPalette(palette);
    sums_.assign(palette.size(), TSums{0, 0, 0, 0});
    for (uint32_t color : samples_) {
        const int r = static_cast<int>(color >> 16), g = static_cast<int>((color >> 8) & 0xFF),
                  b = static_cast<int>(color & 0xFF);
        TSums& sums = sums_[static_cast<size_t>(nearest_.Find(r, g, b))];
        ++sums.Weight;
        sums.Red += static_cast<uint64_t>(r);
        sums.Green += static_cast<uint64_t>(g);
        sums.Blue += static_cast<uint64_t>(b);
    }
    for (size_t i = fixed_; i < palette.size(); ++i) {
        const TSums& s = sums_[i];
        if (s.Weight == 0) continue;
        auto mean = [&s](uint64_t sum) {
            return static_cast<uint8_t>(std::min<uint64_t>((sum + s.Weight / 2) / s.Weight, 255));
        };
        palette[i] = {mean(s.Red), mean(s.Green), mean(s.Blue)};
    }
}
