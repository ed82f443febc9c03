#pragma once
// A palette fitted to a picture: its colours are gathered into a histogram and cut into boxes
// of least spread (TWuQuantizer); the box means are then refined by a few passes of k-means over
// a sample of the picture's own pixels: each entry moves to the mean of the sampled pixels
// nearest to it. The passes undo the boxes' alignment to the histogram's cells and put entries
// close to colours that cover many pixels. A colour that many pixels have exactly (a flat area,
// text, a line) gets an entry of exactly that colour before the boxes are cut. Unlike the
// octree with system colours, no entry is spent on colours the picture does not have.
//
// One builder serves picture after picture on one thread; its tables are reused.
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "gif/colour/ColorHistogram.h"
#include "gif/colour/NearestColor.h"
#include "gif/colour/WuQuantizer.h"
#include "gif/core/GIFTypes.h"

class TPaletteBuilder {
public:
    // Refinement passes when none are asked for.
    static constexpr int kDefaultPasses = 0;

    // About one pixel in `step` of those added goes into the sample too (1: all of them; 0:
    // none, when no refinement is asked for). The pixels sampled are scattered: a fixed step
    // would sample the same columns of every row when it divides the width, and miss a thin
    // vertical line altogether.
    void SetSampleStep(int step) {
        sampleThreshold_ = step <= 0 ? 0 : step == 1 ? UINT32_MAX : UINT32_MAX / step;
    }

    // A pixel of the picture.
    void Add(int r, int g, int b) {
        histogram_.Add(r, g, b, 1);
        if (sampleThreshold_ == 0) return;
        // The fractional parts of n times the golden ratio: below 1 / step for about one n in
        // step, and never periodically so.
        sampleTick_ += kGoldenTick;
        if (sampleTick_ < sampleThreshold_ || sampleThreshold_ == UINT32_MAX)
            samples_.push_back(static_cast<uint32_t>((r << 16) | (g << 8) | b));
    }
    // Fetches the pixel's histogram cell ahead of Add.
    void Prefetch(int r, int g, int b) const { histogram_.Prefetch(r, g, b); }
    // A row of blue, green, red pixels.
    void AddRow(const uint8_t* bgr, int count) {
        for (int x = 0; x < count; ++x, bgr += 3) Add(bgr[2], bgr[1], bgr[0]);
    }

    // At most maxColors colours for the pixels added (fewer when they have fewer), refined by
    // `passes` of k-means; then starts afresh.
    std::vector<TGIFColor> Build(int maxColors, int passes = kDefaultPasses);
    // Starts afresh without building: the pixels added so far are dropped.
    void Forget();

private:
    std::vector<TGIFColor> FlatColors(size_t most) const;
    void Refine(std::vector<TGIFColor>& palette);
    void KeepFrequentColors(std::vector<TGIFColor>& palette);
    void CountSampledColors();
    std::vector<std::pair<uint64_t, uint32_t>> FrequentSamples(uint64_t least) const;

    struct TSums {
        uint64_t Weight, Red, Green, Blue;
    };

    TColorHistogram histogram_;
    TWuQuantizer quantizer_;
    TNearestColor nearest_;
    static constexpr uint32_t kGoldenTick = 2654435769u;  // 2^32 / golden ratio
    std::vector<uint32_t> samples_;
    std::vector<uint32_t> sorted_, scratch_;  // CountSampledColors' working space
    // The sampled colours (0xRRGGBB), each once, and how many samples have each.
    struct TSampledColor {
        uint32_t Color;
        uint32_t Count;
    };
    std::vector<TSampledColor> distinct_;
    uint32_t sampleThreshold_ = UINT32_MAX;
    uint32_t sampleTick_ = 0;
    std::vector<TSums> sums_;
    // Entries at the start of the palette being built that refinement leaves in place.
    size_t fixed_ = 0;
};
