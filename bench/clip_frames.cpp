// The GIF work for each frame of a conversion, on real decoded video: Add of a 320x240 24-bit
// frame with the application's settings (octree palette with system colours, no dithering) and
// the LZW coding that SaveToStream does. Three clips: natural camera-like video, smooth
// gradients and grainy texture (see ClipFrames.h).
//
// Time is CPU time. The counter "cpu_per_frame" is the CPU time of one frame (in seconds, shown
// with an SI prefix: "1.2m" is 1.2 ms). The parts (octree palette, nearest-colour mapping, LZW)
// are timed on their own as well.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <vector>

#include "bench/ClipFrames.h"
#include "gif/codec/GIFEncoderCache.h"
#include "gif/colour/ColorReduction.h"
#include "gif/colour/OctreeQuantizer.h"
#include "gif/model/GIFImage.h"
#include "gif/model/GIFSubImage.h"
#include "platform/Stream.h"

namespace {

constexpr int kFrames = 200;
constexpr int kWidth = 320;
constexpr int kHeight = 240;

const std::vector<TBitmap>& Frames(const benchclips::TClip& clip) {
    static std::map<const benchclips::TClip*, std::vector<TBitmap>> cache;
    auto found = cache.find(&clip);
    if (found == cache.end())
        found = cache.emplace(&clip, benchclips::ClipBitmaps(clip, kFrames, kWidth, kHeight)).first;
    return found->second;
}

void PerFrame(benchmark::State& state, size_t frames) {
    state.counters["cpu_per_frame"] = benchmark::Counter(
        static_cast<double>(frames),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

TGIFImage& NewDocument(TGIFImage& document) {
    document.SetReductionMode(prOctreePlusSystem);
    document.Clear();
    return document;
}

// The whole clip: Add of every frame, then SaveToStream of the document.
void AddAndSave(benchmark::State& state, const benchclips::TClip* clip) {
    std::vector<TBitmap> frames = Frames(*clip);
    TGIFImage document;
    size_t bytes = 0;
    for (auto _ : state) {
        NewDocument(document);
        for (TBitmap& frame : frames) document.Add(frame);
        TMemoryStream stream;
        document.SaveToStream(stream);
        bytes = stream.Data().size();
        benchmark::DoNotOptimize(stream.Data().data());
    }
    PerFrame(state, frames.size());
    state.counters["gif_bytes_per_frame"] = static_cast<double>(bytes) / frames.size();
}

// Add alone.
void AddOnly(benchmark::State& state, const benchclips::TClip* clip) {
    std::vector<TBitmap> frames = Frames(*clip);
    TGIFImage document;
    for (auto _ : state) {
        NewDocument(document);
        for (TBitmap& frame : frames) document.Add(frame);
        benchmark::DoNotOptimize(document.Images().Count());
    }
    PerFrame(state, frames.size());
}

// The frames' reduced indices, one vector per frame.
std::vector<std::vector<uint8_t>> ReducedIndices(const benchclips::TClip& clip) {
    std::vector<TBitmap> frames = Frames(clip);
    TGIFImage document;
    NewDocument(document);
    std::vector<std::vector<uint8_t>> indices;
    for (TBitmap& frame : frames) {
        document.Add(frame);
        const TGIFSubImage& image = document.Images()[document.Images().Count() - 1];
        indices.emplace_back(image.PixelData(), image.PixelData() + kWidth * kHeight);
    }
    return indices;
}

// LZW coding of the reduced frames, as SaveToStream codes them (8-bit tables).
void LZWOnly(benchmark::State& state, const benchclips::TClip* clip) {
    const std::vector<std::vector<uint8_t>> indices = ReducedIndices(*clip);
    auto encoder = CreateGIFEncoder(geLZW);
    TMemoryStream stream;
    for (auto _ : state) {
        for (const auto& frame : indices) {
            stream.Clear();
            encoder->Compress(stream, 8, 256, frame.data(), false, kHeight, kWidth);
            benchmark::DoNotOptimize(stream.Data().data());
        }
    }
    PerFrame(state, indices.size());
}

// The octree palette alone (236 colours beside the system ones).
void OctreeOnly(benchmark::State& state, const benchclips::TClip* clip) {
    std::vector<TBitmap> frames = Frames(*clip);
    for (auto _ : state) {
        for (TBitmap& frame : frames) {
            TColorQuantizer quantizer(236);
            for (int y = 0; y < kHeight; ++y) quantizer.AddRow(frame.ScanLine(y), kWidth);
            benchmark::DoNotOptimize(quantizer.ColorTable().data());
        }
    }
    PerFrame(state, frames.size());
}

// The colour reduction (octree palette and nearest-colour mapping) alone.
void ReduceOnly(benchmark::State& state, const benchclips::TClip* clip) {
    std::vector<TBitmap> frames = Frames(*clip);
    for (auto _ : state) {
        for (TBitmap& frame : frames) {
            auto reduced = ReduceBitmapColors(frame, prOctreePlusSystem, edNearest, 8, nullptr);
            benchmark::DoNotOptimize(reduced->ScanLine(0));
        }
    }
    PerFrame(state, frames.size());
}

#define CLIP_BENCHMARKS(fn)                                                               \
    BENCHMARK_CAPTURE(fn, natural, &benchclips::kNatural)->Unit(benchmark::kMillisecond); \
    BENCHMARK_CAPTURE(fn, smooth, &benchclips::kSmooth)->Unit(benchmark::kMillisecond);   \
    BENCHMARK_CAPTURE(fn, noisy, &benchclips::kNoisy)->Unit(benchmark::kMillisecond)

CLIP_BENCHMARKS(AddAndSave);
CLIP_BENCHMARKS(AddOnly);
CLIP_BENCHMARKS(ReduceOnly);
CLIP_BENCHMARKS(OctreeOnly);
CLIP_BENCHMARKS(LZWOnly);

}  // namespace

BENCHMARK_MAIN();
