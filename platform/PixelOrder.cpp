#include "platform/PixelOrder.h"

#include <bit>
#include <cstring>

#include "platform/ProcessorFeatures.h"

#ifdef CLIPGIF_X86_FEATURES
#include <immintrin.h>
#endif

namespace {

// A word read, its bytes reversed and written back shifted by one: each write's fourth byte is
// the next pixel's first, which that pixel's own write then sets. The last pixel goes a byte at
// a time.
void SwapWords(const uint8_t* in, uint8_t* out, size_t pixels) {
    static_assert(std::endian::native == std::endian::little, "words are read low byte first");
    if (pixels == 0) return;
    for (size_t i = 0; i + 1 < pixels; ++i, in += 3, out += 3) {
        uint32_t word;
        std::memcpy(&word, in, sizeof(word));
        word = __builtin_bswap32(word) >> 8;
        std::memcpy(out, &word, sizeof(word));
    }
    out[0] = in[2];
    out[1] = in[1];
    out[2] = in[0];
}

#ifdef CLIPGIF_X86_FEATURES
// Four pixels a byte shuffle: sixteen bytes read and written, twelve of them the four pixels
// turned around; the last four are the next pixels' first bytes, unchanged, which the next
// shuffle (or the word loop) sets. A shuffle runs while sixteen bytes lie within both rows.
__attribute__((target("ssse3"))) size_t SwapShuffled(const uint8_t* in, uint8_t* out,
                                                     size_t pixels) {
    const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 12, 13, 14, 15);
    size_t done = 0;
    for (; pixels - done >= 6; done += 4, in += 12, out += 12) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(bytes, order));
    }
    return done;
}
#endif

}  // namespace

void CopySwappingRedAndBlue(const uint8_t* in, uint8_t* out, size_t pixels) {
    size_t done = 0;
#ifdef CLIPGIF_X86_FEATURES
    if (pixels >= 6 && HasByteShuffle()) done = SwapShuffled(in, out, pixels);
#endif
    SwapWords(in + 3 * done, out + 3 * done, pixels - done);
}
