#pragma once
// A palette for a histogram by variance-minimising box cuts: the colour cube starts as one box;
// again and again the box whose colours spread the most is cut in two, along the channel and at
// the place that leave the two halves the least spread, until there are as many boxes as
// colours wanted or no box can be cut. Each box gives the mean colour of its pixels. Large
// areas of similar colour thus get many entries, which is what keeps gradients from banding;
// spread is measured with the perceptual channel weights.
//
// The sums of a box come from cumulative tables over the whole cube (about 1.4 MB, kept from one
// palette to the next) or, when the histogram fills few of the cells a table would have to sum
// (a frame's changes, a screen's flat colours: a few hundred of 32768), from the list of its
// filled cells, each box a range of it. Both give the same palette: the sums are whole numbers,
// exact either way.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "gif/colour/ColorHistogram.h"
#include "gif/core/GIFTypes.h"
#include "platform/ZeroedTable.h"

class TWuQuantizer {
public:
    TWuQuantizer();

    // How the sums of a box are found; kAuto takes the cheaper way for the histogram.
    enum class TSums { kAuto, kTables, kCellLists };

    // At most maxColors colours (at least 1) for the pixels of `histogram`; none for an empty
    // histogram, fewer when it holds fewer distinct cells.
    std::vector<TGIFColor> Quantize(const TColorHistogram& histogram, int maxColors,
                                    TSums sums = TSums::kAuto);

private:
    static constexpr int kSide = TColorHistogram::kSide + 1;

    struct TMoments {
        int64_t Weight = 0;
        int64_t Red = 0;
        int64_t Green = 0;
        int64_t Blue = 0;
        double Norms = 0;
    };
    // Cells (Red0, Red1] x (Green0, Green1] x (Blue0, Blue1] of the cumulative tables, which
    // are the histogram's cells [Red0, Red1) x [Green0, Green1) x [Blue0, Blue1); with cell
    // lists, also the range [Begin, End) of cells_ that holds its filled cells.
    struct TBox {
        int Lower[3] = {0, 0, 0};
        int Upper[3] = {0, 0, 0};
        size_t Begin = 0;
        size_t End = 0;
        int Volume() const;
    };
    // A filled cell of the histogram: where it lies and its sums.
    struct TListedCell {
        int At[3];
        int64_t Weight;
        int64_t Red;
        int64_t Green;
        int64_t Blue;
        uint64_t Norms;
    };
    // A box's spread, and where it is among the boxes.
    struct TSpread {
        double Spread;
        size_t Box;
    };
    struct TCut {
        int Axis = -1;
        int Position = 0;
        double Score = 0;
    };

    static int Index(int r, int g, int b) { return (r * kSide + g) * kSide + b; }
    static TBox Bounds(const TColorHistogram& histogram);
    void Accumulate(const TColorHistogram& histogram, const TBox& box);
    void AccumulateRow(const THistogramCell* cells, const TMoments* below, TMoments* row, int first,
                       int last);
    TMoments Sum(const TBox& box) const;
    double Score(const TMoments& m) const;
    double Variance(const TBox& box) const;
    TCut BestCut(const TBox& box);
    void ConsiderCut(const TMoments& whole, const TMoments& low, int axis, int position,
                     TCut& best) const;
    TCut BestTableCut(const TBox& box) const;
    // The same from the box's range of cells_.
    void ListCells(const TColorHistogram& histogram, TBox& box);
    TMoments ListedSum(const TBox& box) const;
    TCut BestListedCut(const TBox& box);
    // Moves the cells of `lower` (all of the box before the cut) that lie at or above the cut
    // into `upper`'s range.
    void SplitCells(const TCut& cut, TBox& lower, TBox& upper);
    // The corners of a box's faces across an axis, as indices at position 0 on it, and how far
    // apart the faces at two neighbouring positions lie.
    struct TFace {
        size_t Corner[4];
        size_t Stride;
    };
    static TFace FaceOf(const TBox& box, int axis);
    TMoments FaceSum(const TFace& face, int position) const;
    TGIFColor MeanColor(const TBox& box) const;

    TZeroedTable<TMoments> moments_;
    std::vector<TMoments> plane_;  // Accumulate's running sums over a plane's rows
    bool listed_ = false;          // this palette's sums come from cells_
    std::vector<TListedCell> cells_;
    std::vector<TMoments> slabs_;  // BestListedCut's sums of each position along each axis
};
