#pragma once
// Helpers for the image data coder tests: encode and decode in memory, and an independent reader
// and writer of raw code streams (sub-blocks, bit packing, code widths) to check the coders against.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "gif/GIFDecoder.h"
#include "gif/GIFEncoder.h"
#include "platform/Stream.h"

namespace codestream {

inline std::vector<uint8_t> Encode(TGIFEncoding encoding, const std::vector<uint8_t>& pixels, int width,
                                   int height, int bitsPerPixel, bool interlaced = false) {
    TMemoryStream stream;
    CreateGIFEncoder(encoding)->Compress(stream, bitsPerPixel, 1 << bitsPerPixel, pixels.data(),
                                         interlaced, height, width);
    return stream.Data();
}

struct Decoded {
    std::vector<uint8_t> pixels;
    std::vector<std::string> warnings;
    int64_t position = 0;  // stream position after decoding
};

inline Decoded Decode(const std::vector<uint8_t>& data, int width, int height, bool interlaced = false,
                      uint8_t fill = 0) {
    Decoded result;
    result.pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), fill);
    TMemoryStream stream(data);
    DecodeGIFImageData(stream, result.pixels.data(), width, height, interlaced,
                       [&](const std::string& message) { result.warnings.push_back(message); });
    result.position = stream.Position();
    return result;
}

// The data bytes of the sub-blocks starting at data[1], checking the framing: every block 1..255
// bytes, a zero terminator as the very last byte.
inline std::vector<uint8_t> JoinSubBlocks(const std::vector<uint8_t>& data) {
    std::vector<uint8_t> joined;
    size_t pos = 1;
    while (pos < data.size() && data[pos] != 0) {
        const size_t length = data[pos];
        EXPECT_LE(pos + 1 + length, data.size()) << "sub-block runs past the data";
        if (pos + 1 + length > data.size()) return joined;
        joined.insert(joined.end(), data.begin() + pos + 1, data.begin() + pos + 1 + length);
        pos += 1 + length;
    }
    EXPECT_EQ(pos + 1, data.size()) << "terminator missing or not last";
    return joined;
}

struct Code {
    int value;
    int width;
    int sinceClear;  // 1 for the first code after a clear code
};

// Reads the codes of encoded image data up to and including the end code, tracking the width as a
// GIF decoder must: after the second and later codes following a clear the table gains one entry,
// and the width grows when the next entry number reaches 2^width (never beyond 12 bits).
inline std::vector<Code> ParseCodes(const std::vector<uint8_t>& data) {
    std::vector<Code> codes;
    const int codeSize = data.at(0);
    const int clear = 1 << codeSize;
    const std::vector<uint8_t> bits = JoinSubBlocks(data);
    size_t bitPos = 0;
    int width = codeSize + 1;
    int next = clear + 2;
    int sinceClear = 0;
    while (bitPos + static_cast<size_t>(width) <= bits.size() * 8) {
        int value = 0;
        for (int i = 0; i < width; ++i, ++bitPos) {
            value |= ((bits[bitPos / 8] >> (bitPos % 8)) & 1) << i;
        }
        codes.push_back({value, width, value == clear ? 0 : ++sinceClear});
        if (value == clear + 1) {
            EXPECT_EQ((bitPos + 7) / 8, bits.size()) << "bytes after the end code";
            for (; bitPos < bits.size() * 8; ++bitPos) {
                EXPECT_EQ((bits[bitPos / 8] >> (bitPos % 8)) & 1, 0) << "padding bits must be zero";
            }
            return codes;
        }
        if (value == clear) {
            sinceClear = 0;
            width = codeSize + 1;
            next = clear + 2;
        } else if (sinceClear >= 2 && next < 4096) {
            if (++next == (1 << width) && width < 12) ++width;
        }
    }
    ADD_FAILURE() << "no end code";
    return codes;
}

// Encoded image data from explicit (code, width) pairs, in sub-blocks of at most blockSize bytes.
inline std::vector<uint8_t> PackCodes(int codeSize, const std::vector<std::pair<int, int>>& codes,
                                      size_t blockSize = 255) {
    std::vector<uint8_t> bytes;
    uint32_t bucket = 0;
    int count = 0;
    for (const auto& [value, width] : codes) {
        bucket |= static_cast<uint32_t>(value) << count;
        for (count += width; count >= 8; count -= 8, bucket >>= 8) bytes.push_back(bucket & 0xFF);
    }
    if (count > 0) bytes.push_back(bucket & 0xFF);
    std::vector<uint8_t> data{static_cast<uint8_t>(codeSize)};
    for (size_t pos = 0; pos < bytes.size(); pos += blockSize) {
        const size_t length = std::min(blockSize, bytes.size() - pos);
        data.push_back(static_cast<uint8_t>(length));
        data.insert(data.end(), bytes.begin() + pos, bytes.begin() + pos + length);
    }
    data.push_back(0);
    return data;
}

inline std::vector<uint8_t> RandomPixels(size_t count, int colors, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> pick(0, colors - 1);
    std::vector<uint8_t> pixels(count);
    for (auto& p : pixels) p = static_cast<uint8_t>(pick(rng));
    return pixels;
}

// Runs of random lengths (1 to maxRun) of random colours: what quantised pictures look like.
inline std::vector<uint8_t> RunPixels(size_t count, int colors, int maxRun, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> pick(0, colors - 1);
    std::uniform_int_distribution<int> run(1, maxRun);
    std::vector<uint8_t> pixels;
    while (pixels.size() < count) pixels.insert(pixels.end(), run(rng), static_cast<uint8_t>(pick(rng)));
    pixels.resize(count);
    return pixels;
}

}  // namespace codestream
