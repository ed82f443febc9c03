#pragma once
// Squared distances from the entries of a palette to the boxes of a regular grid over the colour
// cube, and the entries that can be nearest to some colour of a box.
//
// Along each axis the cube is cut into positions of `span` values. For every axis, position and
// entry two 16-bit numbers are kept: the squared distance from the entry's value to the nearest
// and to the farthest value of the position. A box is one position per axis; its distances are
// the sums over the axes.
#include <cstdint>
#include <vector>

#include "platform/Bitmap.h"

class TPaletteBoxDistances {
public:
    // A box: its position along red, green and blue.
    struct TBox {
        int red;
        int green;
        int blue;
    };

    // `span` is a power of two from 1 to 256; at most the first 256 entries are used.
    TPaletteBoxDistances(const TPalette& palette, int span, bool useAvx2);

    int Span() const { return span_; }
    // Squared distance from an entry to the nearest and to the farthest colour of a box.
    uint32_t NearSq(const TBox& box, int entry) const { return Sum(nearSq_, box, entry); }
    uint32_t FarSq(const TBox& box, int entry) const { return Sum(farSq_, box, entry); }

    // The entries that can be nearest to a colour of the box, as keys (near distance << 8 |
    // index), by index; returns their count. These are the entries whose nearest point of the
    // box is no farther than the farthest point of the entry that is nearest at its farthest:
    // any other entry is farther than that one from every colour of the box.
    int Candidates(const TBox& box, uint32_t* keys) const;
    // The same among `count` entries that include every entry that can be nearest to a colour
    // of the box.
    int CandidatesAmong(const TBox& box, const uint8_t* entries, int count, uint32_t* keys) const;

private:
    static constexpr uint16_t kSaturated = 0xFFFF;

    uint32_t Sum(const std::vector<uint16_t>& table, const TBox& box, int entry) const {
        return uint32_t{table[Row(0, box.red) + entry]} + table[Row(1, box.green) + entry] +
               table[Row(2, box.blue) + entry];
    }
    size_t Row(int axis, int position) const {
        return (static_cast<size_t>(axis) * positions_ + position) * stride_;
    }
    int CandidatesPortable(const TBox& box, uint32_t* keys) const;
    // With saturating 16-bit sums; -1 when the deciding distance saturated.
    int CandidatesAvx2(const TBox& box, uint32_t* keys) const;

    int span_;
    int positions_;
    int entryCount_;
    size_t stride_;  // entries rounded up to a multiple of 16; the padding is never a candidate
    bool useAvx2_;
    // [axis][position][entry]; padding at kSaturated.
    std::vector<uint16_t> nearSq_;
    std::vector<uint16_t> farSq_;
};
