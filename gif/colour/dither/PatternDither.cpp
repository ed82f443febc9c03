#include "gif/colour/dither/PatternDither.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "gif/colour/WideColorDistance.h"

namespace {

constexpr int kTileBits = 6;
constexpr int kTileSide = 1 << kTileBits;
// Each row of the tile is kept twice over, so that the thresholds of eight neighbouring places
// lie side by side whatever the first one's column.
constexpr int kRowBytes = 2 * kTileSide;

// Interleaved gradient noise: a cheap pattern whose neighbouring thresholds differ a lot, so
// that the dithered pixels scatter evenly instead of clumping or forming a grid.
std::array<uint8_t, kTileSide * kRowBytes> MakeTile() {
    std::array<uint8_t, kTileSide * kRowBytes> tile{};
    for (int y = 0; y < kTileSide; ++y)
        for (int x = 0; x < kTileSide; ++x) {
            const double inner = std::fmod(0.06711056 * x + 0.00583715 * y, 1.0);
            const double noise = std::fmod(52.9829189 * inner, 1.0);
            const auto threshold = static_cast<uint8_t>(std::min(255.0, noise * 256.0));
            tile[static_cast<size_t>(y * kRowBytes + x)] = threshold;
            tile[static_cast<size_t>(y * kRowBytes + kTileSide + x)] = threshold;
        }
    return tile;
}

const std::array<uint8_t, kTileSide* kRowBytes> kTile = MakeTile();

int Clamp(int value) { return std::clamp(value, 0, 255); }

}  // namespace

int TPatternDither::Threshold(int x, int y) {
    return kTile[static_cast<size_t>((y & (kTileSide - 1)) * kRowBytes + (x & (kTileSide - 1)))];
}

// The other entry is the one of the cell's entries nearest to the nearest entry's mirror image
// through the colour: the entry on the far side of the colour. (Looking only among the cell's
// entries costs no second lookup, and an entry farther away than those would give a coarser
// pattern than the gradient needs.) The share of the pixels that get it is where the colour lies
// on the way from the nearest entry to it (0 at the nearest, 1 at the other).
int TPatternDither::Map(const TNearestColor& nearest, uint32_t entries, int x, int y, int r, int g,
                        int b) const {
    const int first = nearest.Nearest(entries, r, g, b);
    if (!Enabled()) return first;
    const TGIFColor& near = nearest.Color(first);
    const int dr = r - near.Red, dg = g - near.Green, db = b - near.Blue;
    if (dr == 0 && dg == 0 && db == 0) return first;
    const int other = nearest.Nearest(entries, Clamp(r + dr), Clamp(g + dg), Clamp(b + db));
    if (other == first) return first;
    const TGIFColor& far = nearest.Color(other);
    const int gap = ColorDistance(near, far);
    if (gap < minGap_ || gap > maxGap_) return first;
    const int along = kPerceptualWeights.Red * dr * (far.Red - near.Red) +
                      kPerceptualWeights.Green * dg * (far.Green - near.Green) +
                      kPerceptualWeights.Blue * db * (far.Blue - near.Blue);
    // Threshold + 0.5 below share x 256, with share = along / gap.
    return (2 * Threshold(x, y) + 1) * gap < 512 * along ? other : first;
}

void TPatternDither::MapRow(const TNearestColor& nearest, const TRow& row, int maxContrast,
                            uint8_t* out) const {
    int i = 0;
#ifdef CLIPGIF_X86_FEATURES
    if (HasWideVectors()) i = MapRowWide(nearest, row, maxContrast, out);
#endif
    for (; i < row.Count; ++i) {
        if (row.Moved && !row.Moved[i]) continue;
        const uint8_t* p = row.Pixels + 3 * i;
        const int r = p[2], g = p[1], b = p[0];
        out[i] = static_cast<uint8_t>(row.Contrast && row.Contrast[i] <= maxContrast
                                          ? Map(nearest, row.Entries[i], row.X + i, row.Y, r, g, b)
                                          : nearest.Nearest(row.Entries[i], r, g, b));
    }
}

#ifdef CLIPGIF_X86_FEATURES
namespace {

// 2 x centre - colour in each 16-bit half, kept within 0..255.
__attribute__((target("avx2"))) __m256i MirrorHalves(__m256i colour, __m256i centre) {
    return _mm256_min_epi16(
        _mm256_max_epi16(_mm256_sub_epi16(_mm256_add_epi16(centre, centre), colour),
                         _mm256_setzero_si256()),
        _mm256_set1_epi16(255));
}

// `colour` mirrored through `centre`, each channel kept within 0..255.
__attribute__((target("avx2"))) TWideColor Mirror(const TWideColor& colour,
                                                  const TWideColor& centre) {
    return {MirrorHalves(colour.RedBlue, centre.RedBlue), MirrorHalves(colour.Green, centre.Green)};
}

__attribute__((target("avx2"))) TWideColor Choose(__m256i mask, const TWideColor& no,
                                                  const TWideColor& yes) {
    return {_mm256_blendv_epi8(no.RedBlue, yes.RedBlue, mask),
            _mm256_blendv_epi8(no.Green, yes.Green, mask)};
}

// A fine cell's three entries and their colours, lane by lane.
struct TWideCell {
    __m256i Index[TNearestColor::kCellEntries];
    TWideColor Color[TNearestColor::kCellEntries];

    // The nearest of them to `colour`, by TNearestColor::Nearest's keys: the lower index
    // among equally near ones.
    __attribute__((target("avx2"))) __m256i Nearest(const TWideColor& colour) const {
        __m256i best = _mm256_set1_epi32(-1);
        for (int k = 0; k < TNearestColor::kCellEntries; ++k) {
            const __m256i key =
                _mm256_or_si256(_mm256_slli_epi32(WideDistance(Color[k], colour), 8), Index[k]);
            best = _mm256_min_epu32(best, key);
        }
        return _mm256_and_si256(best, _mm256_set1_epi32(0xFF));
    }
    // The colour of `index`, one of the entries.
    __attribute__((target("avx2"))) TWideColor ColorOf(__m256i index) const {
        TWideColor colour = Color[0];
        for (int k = 1; k < TNearestColor::kCellEntries; ++k)
            colour = Choose(_mm256_cmpeq_epi32(index, Index[k]), colour, Color[k]);
        return colour;
    }
};

// The gaps between two entries that are dithered between, from the least to the most.
struct TWideGaps {
    __m256i Least;
    __m256i Most;
};

// Map's choice for the lanes of `smooth` (all ones where the pixel may be dithered): the cell's
// entry on the far side of the pixel from `first`, its nearest, where the two lie a gap apart
// that suits dithering and the place's threshold (0-255) is below the pixel's share of the way
// to it; `first` elsewhere.
__attribute__((target("avx2"))) __m256i PatternChoice(const TWideCell& cell,
                                                      const TWideColor& pixel, __m256i first,
                                                      __m256i threshold, __m256i smooth,
                                                      const TWideGaps& gaps) {
    const TWideColor near = cell.ColorOf(first);
    const __m256i other = cell.Nearest(Mirror(near, pixel));
    const TWideColor far = cell.ColorOf(other);
    const __m256i gap = WideDistance(near, far);
    const __m256i along = WeightedProduct(Difference(pixel, near), Difference(far, near));
    // (threshold + 0.5) x gap < 256 x along, doubled.
    const __m256i scaledGap = _mm256_mullo_epi32(
        _mm256_add_epi32(_mm256_slli_epi32(threshold, 1), _mm256_set1_epi32(1)), gap);
    const __m256i past = _mm256_cmpgt_epi32(_mm256_slli_epi32(along, 9), scaledGap);
    const __m256i refused = _mm256_or_si256(
        _mm256_or_si256(_mm256_cmpeq_epi32(other, first), _mm256_cmpgt_epi32(gaps.Least, gap)),
        _mm256_cmpgt_epi32(gap, gaps.Most));
    return _mm256_blendv_epi8(first, other,
                              _mm256_and_si256(smooth, _mm256_andnot_si256(refused, past)));
}

}  // namespace

// Map, eight pixels at a time: no branch but the test for moved pixels. Every step that Map
// takes early (no difference, the same entry on the far side, a gap out of range) comes out of
// the same comparisons as first.
__attribute__((target("avx2"))) int TPatternDither::MapRowWide(const TNearestColor& nearest,
                                                               const TRow& row, int maxContrast,
                                                               uint8_t* out) const {
    const auto* palette = reinterpret_cast<const int*>(nearest.PackedColors());
    const uint8_t* thresholds =
        kTile.data() + static_cast<size_t>(row.Y & (kTileSide - 1)) * kRowBytes;
    const __m256i byte = _mm256_set1_epi32(0xFF);
    const __m256i mostContrast = _mm256_set1_epi32(maxContrast);
    const TWideGaps gaps{_mm256_set1_epi32(minGap_), _mm256_set1_epi32(maxGap_)};
    int i = 0;
    for (; i + 8 <= row.Count; i += 8) {
        const unsigned wanted = row.Moved ? FlaggedLanes(row.Moved + i) : 0xFFu;
        if (wanted == 0) continue;
        const TWideColor pixel = SplitColor(RedGreenBlueWords(row.Pixels + 3 * i));
        const __m256i entries =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row.Entries + i));
        TWideCell cell;
        for (int k = 0; k < TNearestColor::kCellEntries; ++k) {
            cell.Index[k] = _mm256_and_si256(_mm256_srli_epi32(entries, 8 * k), byte);
            cell.Color[k] = SplitColor(_mm256_i32gather_epi32(palette, cell.Index[k], 4));
        }
        const __m256i first = cell.Nearest(pixel);
        __m256i chosen = first;
        if (Enabled() && row.Contrast) {
            const __m256i threshold = _mm256_cvtepu8_epi32(_mm_loadl_epi64(
                reinterpret_cast<const __m128i*>(thresholds + ((row.X + i) & (kTileSide - 1)))));
            const __m256i contrast = _mm256_cvtepu8_epi32(
                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row.Contrast + i)));
            const __m256i smooth =
                _mm256_xor_si256(_mm256_cmpgt_epi32(contrast, mostContrast), _mm256_set1_epi32(-1));
            chosen = PatternChoice(cell, pixel, first, threshold, smooth, gaps);
        }
        __m128i bytes = LowBytes(chosen);
        if (wanted != 0xFFu) {
            const __m128i kept =
                _mm_cmpeq_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row.Moved + i)),
                               _mm_setzero_si128());
            bytes = _mm_blendv_epi8(
                bytes, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(out + i)), kept);
        }
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), bytes);
    }
    return i;
}
#endif
