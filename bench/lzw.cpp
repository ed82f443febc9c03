// Speed of the image data coders on 640 x 480 frames.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "gif/codec/GIFDecoder.h"
#include "gif/codec/GIFEncoderCache.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// What a quantised video frame looks like: smooth shading over 256 palette indices, with the
// speckle that dithering leaves on about a fifth of the pixels.
std::vector<uint8_t> NaturalFrame() {
    std::mt19937 rng(7);
    std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            double shade =
                128 + 90 * std::sin(x / 70.0) * std::cos(y / 55.0) + 30 * std::sin((x + y) / 150.0);
            if (rng() % 5 == 0) shade += static_cast<int>(rng() % 5) - 2;
            pixels[static_cast<size_t>(y) * kWidth + x] =
                static_cast<uint8_t>(std::clamp(shade, 0.0, 255.0));
        }
    }
    return pixels;
}

std::vector<uint8_t> NoiseFrame() {
    std::mt19937 rng(11);
    std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight);
    for (auto& p : pixels) p = static_cast<uint8_t>(rng());
    return pixels;
}

void Compress(benchmark::State& state, TGIFEncoding encoding, const std::vector<uint8_t>& pixels) {
    auto encoder = CreateGIFEncoder(encoding);
    TMemoryStream stream;
    for (auto _ : state) {
        stream.Clear();
        encoder->Compress(stream, 8, 256, pixels.data(), false, kHeight, kWidth);
        benchmark::DoNotOptimize(stream.Data().data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pixels.size()));
    state.counters["bytes_out"] = static_cast<double>(stream.Size());
}

void Decode(benchmark::State& state, TGIFEncoding encoding, const std::vector<uint8_t>& pixels) {
    TMemoryStream encoded;
    CreateGIFEncoder(encoding)->Compress(encoded, 8, 256, pixels.data(), false, kHeight, kWidth);
    std::vector<uint8_t> out(pixels.size());
    for (auto _ : state) {
        encoded.SetPosition(0);
        DecodeGIFImageData(encoded, out.data(), kWidth, kHeight, false, nullptr);
        benchmark::DoNotOptimize(out.data());
    }
    if (out != pixels) state.SkipWithError("decoded frame differs");
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(pixels.size()));
}

void BM_LZWCompressNatural(benchmark::State& state) { Compress(state, geLZW, NaturalFrame()); }
void BM_LZWCompressNoise(benchmark::State& state) { Compress(state, geLZW, NoiseFrame()); }
void BM_RLECompressNatural(benchmark::State& state) { Compress(state, geRLE, NaturalFrame()); }
void BM_LZWDecodeNatural(benchmark::State& state) { Decode(state, geLZW, NaturalFrame()); }
void BM_RLEDecodeNatural(benchmark::State& state) { Decode(state, geRLE, NaturalFrame()); }

}  // namespace

BENCHMARK(BM_LZWCompressNatural)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LZWCompressNoise)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RLECompressNatural)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LZWDecodeNatural)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RLEDecodeNatural)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
