// Colour reduction of 640x480 natural-looking frames (smooth gradients with sensor-like noise).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>

#include "gif/colour/ColorReduction.h"
#include "gif/colour/OctreeQuantizer.h"
#include "gif/colour/WuQuantizer.h"

namespace {

TBitmap NaturalFrame(int width, int height, unsigned seed) {
    TBitmap frame(width, height, pf24bit);
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, 4.0);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = frame.ScanLine(y);
        for (int x = 0; x < width; ++x) {
            const double r = 40 + 180.0 * x / width + 20.0 * y / height;
            const double g = 60 + 120.0 * y / height + 40.0 * x / width;
            const double b = 200 - 150.0 * (x + y) / (width + height);
            const double channels[3] = {b, g, r};
            for (int c = 0; c < 3; ++c) {
                const double v = channels[c] + noise(random);
                row[3 * x + c] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
            }
        }
    }
    return frame;
}

void Reduce(benchmark::State& state, TPaletteReduction mode, TErrorDiffusion diffusion) {
    TBitmap frame = NaturalFrame(640, 480, 7);
    for (auto _ : state) {
        auto reduced = ReduceBitmapColors(frame, mode, diffusion, 8, nullptr);
        benchmark::DoNotOptimize(reduced->Bits().data());
    }
    state.SetItemsProcessed(state.iterations() * 640 * 480);
}

// The quantizer alone, as mode 8 runs it (236 colours).
void Quantize(benchmark::State& state) {
    TBitmap frame = NaturalFrame(640, 480, 7);
    for (auto _ : state) {
        TColorQuantizer quantizer(236);
        for (int y = 0; y < frame.Height(); ++y) quantizer.AddRow(frame.ScanLine(y), frame.Width());
        benchmark::DoNotOptimize(quantizer.LeafCount());
    }
    state.SetItemsProcessed(state.iterations() * 640 * 480);
}

// Box-cut palettes as the fitted road builds them: 255 colours for a whole natural frame (a
// dense histogram), 192 for a frame's few changes (a few hundred colours over the cube).
void WuQuantize(benchmark::State& state, bool sparse, TWuQuantizer::TSums sums) {
    TColorHistogram histogram;
    if (sparse) {
        std::mt19937 random(3);
        std::uniform_int_distribution<int> channel(0, 255);
        for (int i = 0; i < 600; ++i)
            histogram.Add(channel(random), channel(random), channel(random), 1);
    } else {
        const TBitmap frame = NaturalFrame(320, 240, 7);
        for (int y = 0; y < frame.Height(); ++y) histogram.AddRow(frame.ScanLine(y), frame.Width());
    }
    TWuQuantizer quantizer;
    for (auto _ : state) {
        auto palette = quantizer.Quantize(histogram, sparse ? 192 : 255, sums);
        benchmark::DoNotOptimize(palette.data());
    }
    state.counters["cells"] = static_cast<double>(histogram.FilledCells().size());
}

}  // namespace

BENCHMARK(Quantize)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(WuQuantize, Dense_Tables, false, TWuQuantizer::TSums::kTables)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(WuQuantize, Dense_CellLists, false, TWuQuantizer::TSums::kCellLists)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(WuQuantize, Sparse_Tables, true, TWuQuantizer::TSums::kTables)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(WuQuantize, Sparse_CellLists, true, TWuQuantizer::TSums::kCellLists)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Reduce, OctreePlusSystem_Nearest, prOctreePlusSystem, edNearest)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Reduce, Octree_Nearest, prOctree, edNearest)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Reduce, WebCube216_Nearest, prWebCube216, edNearest)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Reduce, OctreePlusSystem_FloydSteinberg, prOctreePlusSystem, edFloydSteinberg)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Reduce, WebCube216_FloydSteinberg, prWebCube216, edFloydSteinberg)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
