#include "gif/colour/PaletteBuilder.h"

#include <algorithm>
#include <utility>

namespace {

// A colour that many pixels have exactly (a flat area, text, a line) gets an entry of its own:
// at least this many pixels, and at least this share of them (1 / kFlatShare).
constexpr uint64_t kFlatMinPixels = 32;
constexpr uint64_t kFlatShare = 256;
// After refinement, at most this many of those colours take the place of little used entries
// when no entry comes within this weighted distance of them.
constexpr size_t kMostFrequentKept = 16;
constexpr int kExactEnough = ColorDistance(1, 1, 1);

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
        if (cell.Norms != w * static_cast<uint64_t>(ColorDistance(r, g, b))) continue;
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
    bool refined = false;
    if (passes > 0 && palette.size() > 1 && !samples_.empty()) CountSampledColors();
    for (int pass = 0; pass < passes && palette.size() > 1 && !samples_.empty(); ++pass) {
        Refine(palette);
        refined = true;
    }
    if (refined) KeepFrequentColors(palette);
    Forget();
    return palette;
}

// A colour many pixels have exactly but that shares its histogram cell with another (a bar and
// the row at its edge, a few levels apart) ends up between the two or at the larger one. After
// refinement such colours, when no entry comes within a level of them, take the places of the
// entries the fewest sampled pixels went to, as long as they stand for more pixels than those.
void TPaletteBuilder::KeepFrequentColors(std::vector<TGIFColor>& palette) {
    const uint64_t least = std::max(kFlatMinPixels, histogram_.TotalWeight() / kFlatShare);
    std::vector<std::pair<uint64_t, uint32_t>> frequent = FrequentSamples(least);
    if (frequent.empty()) return;
    std::stable_sort(frequent.begin(), frequent.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    nearest_.SetPalette(palette);
    // The entries by the sampled pixels that went to them in the last pass, fewest first.
    std::vector<size_t> victims;
    for (size_t i = fixed_; i < palette.size() && i < sums_.size(); ++i) victims.push_back(i);
    std::stable_sort(victims.begin(), victims.end(),
                     [this](size_t a, size_t b) { return sums_[a].Weight < sums_[b].Weight; });
    std::vector<TGIFColor> kept;
    const auto nearEnough = [&](const TGIFColor& color) {
        const int r = color.Red, g = color.Green, b = color.Blue;
        if (ColorDistance(nearest_.Color(nearest_.Find(r, g, b)), r, g, b) <= kExactEnough)
            return true;
        return std::any_of(kept.begin(), kept.end(), [&](const TGIFColor& other) {
            return ColorDistance(other, r, g, b) <= kExactEnough;
        });
    };
    for (const auto& [samples, packed] : frequent) {
        if (kept.size() == kMostFrequentKept || kept.size() == victims.size()) break;
        const TGIFColor color{static_cast<uint8_t>(packed >> 16), static_cast<uint8_t>(packed >> 8),
                              static_cast<uint8_t>(packed)};
        if (nearEnough(color)) continue;
        const size_t victim = victims[kept.size()];
        if (sums_[victim].Weight >= samples) break;
        palette[victim] = color;
        kept.push_back(color);
    }
}

// The sampled colours, each once with how many samples have it: sorted (by their 24 bits,
// twelve at a time), equal colours lie together. A picture repeats its colours, a flat one
// (a screen, a cartoon) very much so: each pass of refinement then looks up each colour once.
void TPaletteBuilder::CountSampledColors() {
    constexpr int kDigitBits = 12;
    constexpr uint32_t kDigits = 1u << kDigitBits;
    std::vector<uint32_t> counts(kDigits);
    sorted_.resize(samples_.size());
    scratch_.resize(samples_.size());
    const std::vector<uint32_t>* from = &samples_;
    for (int shift = 0; shift < 24; shift += kDigitBits) {
        std::vector<uint32_t>& to = shift == 0 ? scratch_ : sorted_;
        std::fill(counts.begin(), counts.end(), 0);
        for (uint32_t color : *from) ++counts[(color >> shift) & (kDigits - 1)];
        uint32_t start = 0;
        for (uint32_t& count : counts) start += std::exchange(count, start);
        for (uint32_t color : *from) to[counts[(color >> shift) & (kDigits - 1)]++] = color;
        from = &scratch_;
    }
    distinct_.clear();
    for (size_t i = 0; i < sorted_.size();) {
        size_t end = i + 1;
        while (end < sorted_.size() && sorted_[end] == sorted_[i]) ++end;
        distinct_.push_back({sorted_[i], static_cast<uint32_t>(end - i)});
        i = end;
    }
}

// The sampled colours that stand for at least `least` pixels, with how many samples have each,
// in the order of their 24 bits.
std::vector<std::pair<uint64_t, uint32_t>> TPaletteBuilder::FrequentSamples(uint64_t least) const {
    const uint64_t total = std::max<uint64_t>(histogram_.TotalWeight(), 1);
    const uint64_t fewest = std::max<uint64_t>(1, least * samples_.size() / total);
    std::vector<std::pair<uint64_t, uint32_t>> frequent;
    for (const TSampledColor& sampled : distinct_)
        if (sampled.Count >= fewest) frequent.emplace_back(sampled.Count, sampled.Color);
    return frequent;
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
    for (const auto [color, count] : distinct_) {
        const int r = static_cast<int>(color >> 16), g = static_cast<int>((color >> 8) & 0xFF),
                  b = static_cast<int>(color & 0xFF);
        TSums& sums = sums_[static_cast<size_t>(nearest_.Find(r, g, b))];
        sums.Weight += count;
        sums.Red += uint64_t{count} * static_cast<uint64_t>(r);
        sums.Green += uint64_t{count} * static_cast<uint64_t>(g);
        sums.Blue += uint64_t{count} * static_cast<uint64_t>(b);
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
