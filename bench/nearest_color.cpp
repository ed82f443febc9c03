// Nearest-palette-index queries over a natural-looking 640x480 frame.
#include <benchmark/benchmark.h>

#include <random>

#include "platform/SystemPalette.h"

namespace {

std::vector<uint8_t> NaturalFrame(int w, int h) {
    std::mt19937 rng(1);
    std::normal_distribution<double> noise(0.0, 6.0);
    std::vector<uint8_t> bgr(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double base[3] = {40.0 + 150.0 * x / w, 30.0 + 180.0 * y / h,
                                    200.0 - 120.0 * (x + y) / (w + h)};
            for (int c = 0; c < 3; ++c) {
                const double v = base[c] + noise(rng);
                bgr[(static_cast<size_t>(y) * w + x) * 3 + c] = static_cast<uint8_t>(v < 0     ? 0
                                                                                     : v > 255 ? 255
                                                                                               : v);
            }
        }
    return bgr;
}

TPalette SpreadPalette() {
    std::mt19937 rng(2);
    std::uniform_int_distribution<int> byte(0, 255);
    TPalette p(256);
    for (auto& e : p) {
        e.peRed = static_cast<uint8_t>(byte(rng));
        e.peGreen = static_cast<uint8_t>(byte(rng));
        e.peBlue = static_cast<uint8_t>(byte(rng));
    }
    return p;
}

void BM_NearestColorIndexFrame(benchmark::State& state) {
    const auto frame = NaturalFrame(640, 480);
    const TPalette palette = state.range(0) ? HalftonePalette() : SpreadPalette();
    std::vector<uint8_t> indices(640 * 480);
    for (auto _ : state) {
        TNearestColorIndex index(palette);  // a fresh index per frame, as a per-frame palette needs
        for (int y = 0; y < 480; ++y)
            index.FindRow(frame.data() + y * 640 * 3, 640, indices.data() + y * 640);
        benchmark::DoNotOptimize(indices.data());
    }
}
BENCHMARK(BM_NearestColorIndexFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
