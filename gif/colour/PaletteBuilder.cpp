#include "gif/colour/PaletteBuilder.h"

#include <algorithm>

namespace {

// A colour that many sampled pixels have exactly (a flat area, text, a line) gets an entry of its
// own: at least this many samples, and at least this share of them (1 / kFlatShare).
constexpr size_t kFlatMinSamples = 8;
constexpr size_t kFlatShare = 256;

TGIFColor ColorOf(uint32_t rgb) {
    return {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
            static_cast<uint8_t>(rgb)};
}

}  // namespace

// The colours many samples have exactly, most frequent first, at most `most` of them. Sorts the
// samples.
std::vector<TGIFColor> TPaletteBuilder::FlatColors(size_t most) {
    std::sort(samples_.begin(), samples_.end());
    const size_t least = std::max(kFlatMinSamples, samples_.size() / kFlatShare);
    std::vector<std::pair<size_t, uint32_t>> runs;
    for (size_t i = 0; i < samples_.size();) {
        size_t j = i;
        while (j < samples_.size() && samples_[j] == samples_[i]) ++j;
        if (j - i >= least) runs.emplace_back(j - i, samples_[i]);
        i = j;
    }
    std::stable_sort(runs.begin(), runs.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    if (runs.size() > most) runs.resize(most);
    std::vector<TGIFColor> flat;
    for (const auto& run : runs) flat.push_back(ColorOf(run.second));
    return flat;
}

std::vector<TGIFColor> TPaletteBuilder::Build(int maxColors, double goodEnough, int passes) {
    const size_t wanted = static_cast<size_t>(std::max(maxColors, 1));
    std::vector<TGIFColor> palette = FlatColors(wanted / 2);
    fixed_ = palette.size();
    const std::vector<TGIFColor> boxes =
        quantizer_.Quantize(histogram_, static_cast<int>(wanted - fixed_), goodEnough);
    palette.insert(palette.end(), boxes.begin(), boxes.end());
    for (int pass = 0; pass < passes && palette.size() > 1 && !samples_.empty(); ++pass)
        Refine(palette);
    histogram_.Clear();
    samples_.clear();
    sampleCountdown_ = 0;
    return palette;
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
