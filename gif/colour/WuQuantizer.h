#pragma once
// A palette for a histogram by variance-minimising box cuts: the colour cube starts as one box;
// again and again the box whose colours spread the most is cut in two, along the channel and at
// the place that leave the two halves the least spread, until there are as many boxes as
// colours wanted or no box can be cut. Each box gives the mean colour of its pixels. Large
// areas of similar colour thus get many entries, which is what keeps gradients from banding;
// spread is measured with the perceptual channel weights.
//
// The working tables (cumulative sums over the cells, about 1.4 MB) are kept from one palette to
// the next.
#include <cstdint>
#include <vector>

#include "gif/colour/ColorHistogram.h"
#include "gif/core/GIFTypes.h"
#include "platform/ZeroedTable.h"

class TWuQuantizer {
public:
    TWuQuantizer();

    // At most maxColors colours (at least 1) for the pixels of `histogram`; none for an empty
    // histogram, fewer when it holds fewer distinct cells.
    std::vector<TGIFColor> Quantize(const TColorHistogram& histogram, int maxColors);

private:
    static constexpr int kSide = TColorHistogram::kSide + 1;

    struct TMoments {
        int64_t Weight = 0;
        int64_t Red = 0;
        int64_t Green = 0;
        int64_t Blue = 0;
        double Norms = 0;
    };
    // Cells (Red0, Red1] x (Green0, Green1] x (Blue0, Blue1] of the cumulative tables.
    struct TBox {
        int Lower[3] = {0, 0, 0};
        int Upper[3] = {0, 0, 0};
        int Volume() const;
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
    TCut BestCut(const TBox& box) const;
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
};
