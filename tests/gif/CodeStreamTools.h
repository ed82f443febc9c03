#pragma once
// Helpers for the image data coder tests: in-memory encode and decode, and an independent reader
// and writer of raw code streams to check the coders against.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "gif/codec/GIFDecoder.h"
#include "gif/codec/GIFEncoderCache.h"

namespace codestream {

inline std::vector<uint8_t> Encode(TGIFEncoding encoding, const std::vector<uint8_t>& pixels,
                                   int width, int height, int bpp, bool interlaced = false) {
    TMemoryStream stream;
    CreateGIFEncoder(encoding)->Compress(stream, bpp, 1 << bpp, pixels.data(), interlaced, height,
                                         width);
    return stream.Data();
}

struct Decoded {
    std::vector<uint8_t> pixels;
    std::vector<std::string> warnings;
    int64_t position = 0;  // stream position afterwards
};

inline Decoded Decode(const std::vector<uint8_t>& data, int width, int height,
                      bool interlaced = false, uint8_t fill = 0) {
    Decoded result;
    result.pixels.assign(static_cast<size_t>(width) * height, fill);
    TMemoryStream stream(data);
    DecodeGIFImageData(stream, result.pixels.data(), width, height, interlaced,
                       [&](const std::string& message) { result.warnings.push_back(message); });
    result.position = stream.Position();
    return result;
}

// The bytes of the sub-blocks after the code size byte; checks every block is 1..255 bytes, all but
// the last exactly 255, and the terminator is the data's last byte.
inline std::vector<uint8_t> JoinSubBlocks(const std::vector<uint8_t>& data) {
    std::vector<uint8_t> joined;
    size_t pos = 1;
    while (pos < data.size() && data[pos] != 0 && pos + 1 + data[pos] <= data.size()) {
        EXPECT_EQ(joined.size() % 255, 0u) << "short sub-block before the last";
        joined.insert(joined.end(), data.begin() + pos + 1, data.begin() + pos + 1 + data[pos]);
        pos += 1 + data[pos];
    }
    EXPECT_EQ(pos + 1, data.size()) << "terminator missing or not last";
    return joined;
}

inline std::vector<uint8_t> MakeSubBlocks(uint8_t codeSize, const std::vector<uint8_t>& bytes,
                                          size_t blockSize = 255) {
    std::vector<uint8_t> data{codeSize};
    for (size_t pos = 0; pos < bytes.size(); pos += blockSize) {
        const size_t length = std::min(blockSize, bytes.size() - pos);
        data.push_back(static_cast<uint8_t>(length));
        data.insert(data.end(), bytes.begin() + pos, bytes.begin() + pos + length);
    }
    data.push_back(0);
    return data;
}

struct Code {
    int value;
    int width;
    int sinceClear;  // 1 for the first code after a clear code, 0 for the clear code
};

// Reads codes up to the end code the way any GIF decoder must: the table gains an entry from the
// second code after a clear on, and the width grows when the next entry reaches 2^width (up to 12
// bits). Checks each code is one the decoder can resolve and the end code is zero-padded and last.
inline std::vector<Code> ParseCodes(const std::vector<uint8_t>& data) {
    const int codeSize = data.at(0);
    const int clear = 1 << codeSize;
    const std::vector<uint8_t> bits = JoinSubBlocks(data);
    std::vector<Code> codes;
    size_t pos = 0;
    int width = codeSize + 1, next = clear + 2, sinceClear = 0;
    while (pos + width <= bits.size() * 8) {
        int value = 0;
        for (int i = 0; i < width; ++i, ++pos) value |= ((bits[pos / 8] >> (pos % 8)) & 1) << i;
        sinceClear = value == clear ? 0 : sinceClear + 1;
        codes.push_back({value, width, sinceClear});
        if (value == clear + 1) {
            EXPECT_EQ((pos + 7) / 8, bits.size()) << "bytes after the end code";
            EXPECT_EQ(bits.back() >> (pos % 8 ? pos % 8 : 8), 0) << "padding bits must be zero";
            return codes;
        }
        if (value == clear) {
            width = codeSize + 1;
            next = clear + 2;
        } else if (sinceClear == 1) {
            EXPECT_LT(value, clear) << "first code after a clear must be a pixel";
        } else {
            EXPECT_LE(value, next) << "code beyond the decoder's table";
            if (next < 4096 && ++next == (1 << width) && width < 12) ++width;
        }
    }
    ADD_FAILURE() << "no end code";
    return codes;
}

// Encoded image data from explicit (code, width) pairs.
inline std::vector<uint8_t> PackCodes(uint8_t codeSize,
                                      const std::vector<std::pair<int, int>>& codes) {
    std::vector<uint8_t> bytes;
    uint32_t bucket = 0;
    int count = 0;
    for (const auto& [value, width] : codes) {
        bucket |= static_cast<uint32_t>(value) << count;
        for (count += width; count >= 8; count -= 8, bucket >>= 8) bytes.push_back(bucket & 0xFF);
    }
    if (count > 0) bytes.push_back(bucket & 0xFF);
    return MakeSubBlocks(codeSize, bytes);
}

inline std::vector<uint8_t> RandomPixels(size_t count, int colors, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> pixels(count);
    for (auto& p : pixels) p = static_cast<uint8_t>(rng() % colors);
    return pixels;
}

// Runs of 1 to maxRun pixels of random colours, as in quantised pictures.
inline std::vector<uint8_t> RunPixels(size_t count, int colors, int maxRun, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> pixels;
    while (pixels.size() < count) pixels.insert(pixels.end(), 1 + rng() % maxRun, rng() % colors);
    pixels.resize(count);
    return pixels;
}

}  // namespace codestream
