// Adding 640x480 true-colour frames to a document and writing it, with the application's
// settings (octree palette with system colours, no dithering, LZW).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "gif/model/GIFImage.h"
#include "platform/Bitmap.h"
#include "platform/Stream.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// A photograph-like picture: smooth colour gradients with a little noise, shifted by `frame`
// so that consecutive frames differ as in a video.
TBitmap NaturalFrame(int frame) {
    TBitmap bitmap(kWidth, kHeight, pf24bit);
    uint32_t noise = 12345u + static_cast<uint32_t>(frame) * 7919u;
    for (int y = 0; y < kHeight; ++y) {
        uint8_t* row = bitmap.ScanLine(y);
        for (int x = 0; x < kWidth; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int jitter = static_cast<int>((noise >> 24) & 15) - 8;
            const int sx = x + frame * 4;
            const int r = 40 + sx * 160 / kWidth + y * 40 / kHeight + jitter;
            const int g = 60 + y * 150 / kHeight + ((sx * y) >> 12) % 30 + jitter;
            const int b = 200 - sx * 100 / kWidth - y * 60 / kHeight + jitter;
            row[x * 3] = static_cast<uint8_t>(b < 0 ? 0 : b > 255 ? 255 : b);
            row[x * 3 + 1] = static_cast<uint8_t>(g < 0 ? 0 : g > 255 ? 255 : g);
            row[x * 3 + 2] = static_cast<uint8_t>(r < 0 ? 0 : r > 255 ? 255 : r);
        }
    }
    return bitmap;
}

std::vector<TBitmap> Frames(int count) {
    std::vector<TBitmap> frames;
    for (int i = 0; i < count; ++i) frames.push_back(NaturalFrame(i));
    return frames;
}

// One iteration: Add of one frame and SaveToStream of that one-frame document.
void BM_AddAndSaveFrame(benchmark::State& state) {
    const std::vector<TBitmap> sources = Frames(8);
    TGIFImage document;
    document.SetReductionMode(prOctreePlusSystem);
    size_t next = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TBitmap frame = sources[next++ % sources.size()];
        document.Clear();
        TMemoryStream stream;
        state.ResumeTiming();
        document.Add(frame);
        document.SaveToStream(stream);
        benchmark::DoNotOptimize(stream.Data().data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AddAndSaveFrame)->Unit(benchmark::kMillisecond);

// Only the Add of one frame.
void BM_AddFrame(benchmark::State& state) {
    const std::vector<TBitmap> sources = Frames(8);
    TGIFImage document;
    document.SetReductionMode(prOctreePlusSystem);
    size_t next = 0;
    for (auto _ : state) {
        state.PauseTiming();
        TBitmap frame = sources[next++ % sources.size()];
        document.Clear();
        state.ResumeTiming();
        document.Add(frame);
    }
}
BENCHMARK(BM_AddFrame)->Unit(benchmark::kMillisecond);

// Only the writing of a document of 8 frames (per frame: divide by 8).
void BM_SaveEightFrames(benchmark::State& state) {
    std::vector<TBitmap> sources = Frames(8);
    TGIFImage document;
    document.SetReductionMode(prOctreePlusSystem);
    for (TBitmap& frame : sources) document.Add(frame);
    for (auto _ : state) {
        TMemoryStream stream;
        document.SaveToStream(stream);
        benchmark::DoNotOptimize(stream.Data().data());
    }
}
BENCHMARK(BM_SaveEightFrames)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
