// Lossy LZW: the rewrite changes pixels only for values its latitude chooses, and the strings it
// finds are the ones the encoder would find, so packing them gives the encoder's bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "gif/codec/GIFCodedImage.h"
#include "gif/codec/GIFEncoderCache.h"
#include "gif/codec/LZWEncoder.h"
#include "gif/codec/LossyLZW.h"
#include "gif/core/GIFException.h"
#include "tests/gif/CodeStreamTools.h"

using namespace codestream;

namespace {

// A pixel may become its neighbouring values; the lower one is preferred.
struct TNeighbourLatitude {
    int colors;
    int Candidates(size_t /*index*/, int value, uint8_t* out) const {
        int count = 0;
        if (value > 0) out[count++] = static_cast<uint8_t>(value - 1);
        if (value + 1 < colors) out[count++] = static_cast<uint8_t>(value + 1);
        return count;
    }
    int Choose(size_t /*index*/, int /*value*/, const uint8_t* /*values*/, int /*count*/) const {
        return 0;
    }
};

}  // namespace

// Runs of noise-like values fill the table several times over (it starts again after code 4094),
// at every width the codes may begin at.
TEST(LossyLZW, KnownStringsPackToTheEncodersBytesOfTheRewrittenPixels) {
    for (int bpp : {2, 5, 8}) {
        SCOPED_TRACE(bpp);
        const int colors = 1 << bpp;
        const std::vector<uint8_t> original = RunPixels(200000, colors, 3, 7u + bpp);
        std::vector<uint8_t> pixels = original;
        TNeighbourLatitude latitude{colors};
        TLZWStrings strings;
        TLossyLZW().Rewrite(pixels.data(), pixels.size(), bpp, latitude, strings);

        size_t changed = 0;
        for (size_t i = 0; i < pixels.size(); ++i) {
            const int difference = pixels[i] - original[i];
            EXPECT_LE(difference * difference, 1) << i;
            changed += difference != 0;
        }
        EXPECT_GT(changed, 0u);

        const int width = 500, height = 400;
        const std::vector<uint8_t> coded = Encode(geLZW, pixels, width, height, bpp);
        TMemoryStream packed;
        TLZWEncoder().CompressStrings(packed, strings, colors, pixels.data(), height, width);
        EXPECT_EQ(packed.Data(), coded);
        EXPECT_LT(coded.size(), Encode(geLZW, original, width, height, bpp).size());
        EXPECT_EQ(Decode(packed.Data(), width, height).pixels, pixels);
    }
}

// Strings found for another code size or number of pixels, or for a coding that is not LZW or
// is interlaced, are not used: the pixels are coded instead.
TEST(LossyLZW, CodedImageUsesKnownStringsOnlyForTheirCoding) {
    std::vector<uint8_t> pixels = RunPixels(64 * 48, 16, 4, 3u);
    TNeighbourLatitude latitude{16};
    TLZWStrings strings;
    TLossyLZW().Rewrite(pixels.data(), pixels.size(), 4, latitude, strings);
    TGIFEncoderCache encoders;
    for (const TGIFCoding coding :
         {TGIFCoding{geLZW, 4, 16, false}, TGIFCoding{geLZW, 5, 32, false},
          TGIFCoding{geLZW, 4, 16, true}, TGIFCoding{geRLE, 4, 16, false}}) {
        const TGIFCodedImage known(pixels.data(), 64, 48, coding, encoders, strings);
        const TGIFCodedImage plain(pixels.data(), 64, 48, coding, encoders);
        EXPECT_EQ(std::vector<uint8_t>(known.Bytes(), known.Bytes() + known.Size()),
                  std::vector<uint8_t>(plain.Bytes(), plain.Bytes() + plain.Size()));
    }
    // Nor are strings found for another number of pixels.
    const TGIFCoding coding{geLZW, 4, 16, false};
    const TGIFCodedImage fewer(pixels.data(), 64, 47, coding, encoders, strings);
    const TGIFCodedImage plain(pixels.data(), 64, 47, coding, encoders);
    EXPECT_EQ(std::vector<uint8_t>(fewer.Bytes(), fewer.Bytes() + fewer.Size()),
              std::vector<uint8_t>(plain.Bytes(), plain.Bytes() + plain.Size()));
    // A pixel outside the colour table still fails, before any string is packed.
    TMemoryStream stream;
    EXPECT_THROW(TLZWEncoder().CompressStrings(stream, strings, 8, pixels.data(), 48, 64),
                 GIFException);
}
