#include "gif/colour/WuQuantizer.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <queue>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// Cell lists are used when the histogram fills at most one cell in this many of its bounds: a
// cut then visits fewer cells than the tables would sum.
constexpr int kListedShare = 24;

// Adds the weight and channel sums of `from` (a cell or moments) to `to`.
template <typename T>
void AddChannelSums(T& to, const auto& from) {
    to.Weight += from.Weight;
    to.Red += from.Red;
    to.Green += from.Green;
    to.Blue += from.Blue;
}

}  // namespace

TWuQuantizer::TWuQuantizer()
    : moments_(static_cast<size_t>(kSide) * kSide * kSide),
      plane_(static_cast<size_t>(kSide)),
      slabs_(static_cast<size_t>(3 * kSide)) {}

int TWuQuantizer::TBox::Volume() const {
    return (Upper[0] - Lower[0]) * (Upper[1] - Lower[1]) * (Upper[2] - Lower[2]);
}

// The box of the cumulative tables that holds every filled cell.
TWuQuantizer::TBox TWuQuantizer::Bounds(const TColorHistogram& histogram) {
    constexpr int bits = TColorHistogram::kCellBits;
    constexpr int mask = TColorHistogram::kSide - 1;
    TBox box;
    for (int axis = 0; axis < 3; ++axis) {
        box.Lower[axis] = kSide;
        box.Upper[axis] = 0;
    }
    for (int cell : histogram.FilledCells()) {
        const int at[3] = {cell >> (2 * bits), (cell >> bits) & mask, cell & mask};
        for (int axis = 0; axis < 3; ++axis) {
            box.Lower[axis] = std::min(box.Lower[axis], at[axis]);
            box.Upper[axis] = std::max(box.Upper[axis], at[axis] + 1);
        }
    }
    return box;
}

// The cells go one place up in every direction, so that index 0 stands for "nothing below";
// each entry of the tables then holds the sums of every cell at or below it, in one pass: the
// running sums along blue of a row, added up over the rows of a red plane before it, then to
// the entry of the plane below. Only the box that holds the filled cells is summed (its lower
// planes zero): nothing outside it is ever looked up.
void TWuQuantizer::Accumulate(const TColorHistogram& histogram, const TBox& box) {
    constexpr int side = TColorHistogram::kSide;
    const int* lo = box.Lower;
    const int* hi = box.Upper;
    auto at = [this](int r, int g, int b) -> TMoments& {
        return moments_[static_cast<size_t>(Index(r, g, b))];
    };
    // The lower planes: nothing below the box.
    for (int g = lo[1]; g <= hi[1]; ++g)
        for (int b = lo[2]; b <= hi[2]; ++b) at(lo[0], g, b) = TMoments{};
    for (int r = lo[0] + 1; r <= hi[0]; ++r) {
        for (int b = lo[2]; b <= hi[2]; ++b) {
            at(r, lo[1], b) = TMoments{};
            plane_[static_cast<size_t>(b)] = TMoments{};  // sums of the plane's rows so far
        }
        for (int g = lo[1] + 1; g <= hi[1]; ++g) {
            at(r, g, lo[2]) = TMoments{};
            const THistogramCell* cells = &histogram.Cell(((r - 1) * side + (g - 1)) * side);
            AccumulateRow(cells, &at(r - 1, g, 0), &at(r, g, 0), lo[2] + 1, hi[2]);
        }
    }
}

// Entries first to last of a row of the tables: the running sum of the row's cells (`cells`
// from entry 1's on) added to the plane's sums so far and to the row below (`below`). The four
// integer sums of a cell go two at a time on vectors. The squared norms are whole numbers too,
// summed along the row as integers; the tables' sums of them, in floating point, stay far below
// 2^53 and so are exact: the result is the same on any machine.
void TWuQuantizer::AccumulateRow(const THistogramCell* cells, const TMoments* below, TMoments* row,
                                 int first, int last) {
#ifdef __SSE2__
    static_assert(offsetof(THistogramCell, Weight) == 0 && offsetof(THistogramCell, Red) == 8 &&
                      offsetof(THistogramCell, Green) == 16 && offsetof(THistogramCell, Blue) == 24,
                  "a histogram cell's sums lie as the moments' do");
    static_assert(offsetof(TMoments, Weight) == 0 && offsetof(TMoments, Red) == 8 &&
                      offsetof(TMoments, Green) == 16 && offsetof(TMoments, Blue) == 24,
                  "the moments' sums lie in pairs");
    const auto load = [](const void* at) {
        return _mm_loadu_si128(static_cast<const __m128i*>(at));
    };
    const auto store = [](void* at, __m128i value) {
        _mm_storeu_si128(static_cast<__m128i*>(at), value);
    };
    __m128i lineWeightRed = _mm_setzero_si128(), lineGreenBlue = _mm_setzero_si128();
    int64_t lineNorms = 0;
    for (int b = first; b <= last; ++b) {
        const THistogramCell& cell = cells[b - 1];
        lineWeightRed = _mm_add_epi64(lineWeightRed, load(&cell.Weight));
        lineGreenBlue = _mm_add_epi64(lineGreenBlue, load(&cell.Green));
        lineNorms += static_cast<int64_t>(cell.Norms);
        TMoments& area = plane_[static_cast<size_t>(b)];
        const __m128i areaWeightRed = _mm_add_epi64(load(&area.Weight), lineWeightRed);
        const __m128i areaGreenBlue = _mm_add_epi64(load(&area.Green), lineGreenBlue);
        store(&area.Weight, areaWeightRed);
        store(&area.Green, areaGreenBlue);
        area.Norms += static_cast<double>(lineNorms);
        store(&row[b].Weight, _mm_add_epi64(load(&below[b].Weight), areaWeightRed));
        store(&row[b].Green, _mm_add_epi64(load(&below[b].Green), areaGreenBlue));
        row[b].Norms = below[b].Norms + area.Norms;
    }
#else
    TMoments line;
    for (int b = first; b <= last; ++b) {
        const THistogramCell& cell = cells[b - 1];
        line.Weight += static_cast<int64_t>(cell.Weight);
        line.Red += static_cast<int64_t>(cell.Red);
        line.Green += static_cast<int64_t>(cell.Green);
        line.Blue += static_cast<int64_t>(cell.Blue);
        line.Norms += static_cast<double>(cell.Norms);
        TMoments& area = plane_[static_cast<size_t>(b)];
        area.Weight += line.Weight;
        area.Red += line.Red;
        area.Green += line.Green;
        area.Blue += line.Blue;
        area.Norms += line.Norms;
        row[b] = {below[b].Weight + area.Weight, below[b].Red + area.Red,
                  below[b].Green + area.Green, below[b].Blue + area.Blue,
                  below[b].Norms + area.Norms};
    }
#endif
}

// Inclusion and exclusion over the box's eight corners of the tables.
TWuQuantizer::TMoments TWuQuantizer::Sum(const TBox& box) const {
    if (listed_) return ListedSum(box);
    TMoments sum;
    for (int corner = 0; corner < 8; ++corner) {
        const int r = corner & 4 ? box.Upper[0] : box.Lower[0];
        const int g = corner & 2 ? box.Upper[1] : box.Lower[1];
        const int b = corner & 1 ? box.Upper[2] : box.Lower[2];
        const int lowerCorners = !(corner & 4) + !(corner & 2) + !(corner & 1);
        const int sign = lowerCorners % 2 ? -1 : 1;
        const TMoments& m = moments_[static_cast<size_t>(Index(r, g, b))];
        sum.Weight += sign * m.Weight;
        sum.Red += sign * m.Red;
        sum.Green += sign * m.Green;
        sum.Blue += sign * m.Blue;
        sum.Norms += sign * m.Norms;
    }
    return sum;
}

// The weighted squared norm of the mean times the weight: what a part contributes to the
// summed squared norms of the means, which the best cut makes largest.
double TWuQuantizer::Score(const TMoments& m) const {
    if (m.Weight <= 0) return 0;
    const double r = static_cast<double>(m.Red), g = static_cast<double>(m.Green),
                 b = static_cast<double>(m.Blue);
    constexpr TColorWeights w = kPerceptualWeights;
    return (w.Red * r * r + w.Green * g * g + w.Blue * b * b) / static_cast<double>(m.Weight);
}

double TWuQuantizer::Variance(const TBox& box) const {
    if (box.Volume() <= 1) return 0;
    const TMoments m = Sum(box);
    return m.Norms - Score(m);
}

TWuQuantizer::TCut TWuQuantizer::BestCut(const TBox& box) {
    return listed_ ? BestListedCut(box) : BestTableCut(box);
}

// A cut at `position` on `axis` leaves `low` below it and the rest of `whole` above; it becomes
// the best when it scores higher than the best so far (the first of equal ones stays).
void TWuQuantizer::ConsiderCut(const TMoments& whole, const TMoments& low, int axis, int position,
                               TCut& best) const {
    const int64_t highWeight = whole.Weight - low.Weight;
    if (low.Weight <= 0 || highWeight <= 0) return;
    const TMoments high{highWeight, whole.Red - low.Red, whole.Green - low.Green,
                        whole.Blue - low.Blue, 0};
    const double score = Score(low) + Score(high);
    if (score > best.Score) best = {axis, position, score};
}

// The sums of the part of `box` below `position` on `axis` are the box's four corners at the
// lower face (the same for every position) and the four at the position: the first four are
// added up once per axis.
TWuQuantizer::TCut TWuQuantizer::BestTableCut(const TBox& box) const {
    const TMoments whole = Sum(box);
    TCut best;
    best.Score = Score(whole);
    for (int axis = 0; axis < 3; ++axis) {
        const TFace face = FaceOf(box, axis);
        const TMoments bottom = FaceSum(face, box.Lower[axis]);
        int64_t lastWeight = 0;
        for (int position = box.Lower[axis] + 1; position < box.Upper[axis]; ++position) {
            const TMoments top = FaceSum(face, position);
            const int64_t weight = top.Weight - bottom.Weight;
            // No pixels in the slab before: the same cut as one place lower.
            if (weight == lastWeight) continue;
            lastWeight = weight;
            const TMoments low{weight, top.Red - bottom.Red, top.Green - bottom.Green,
                               top.Blue - bottom.Blue, 0};
            ConsiderCut(whole, low, axis, position, best);
        }
    }
    return best;
}

void TWuQuantizer::ListCells(const TColorHistogram& histogram, TBox& box) {
    constexpr int bits = TColorHistogram::kCellBits;
    constexpr int mask = TColorHistogram::kSide - 1;
    cells_.clear();
    for (int index : histogram.FilledCells()) {
        const THistogramCell& cell = histogram.Cell(index);
        cells_.push_back({{index >> (2 * bits), (index >> bits) & mask, index & mask},
                          static_cast<int64_t>(cell.Weight),
                          static_cast<int64_t>(cell.Red),
                          static_cast<int64_t>(cell.Green),
                          static_cast<int64_t>(cell.Blue),
                          cell.Norms});
    }
    box.Begin = 0;
    box.End = cells_.size();
}

// The norms are summed as whole numbers, as the tables hold them.
TWuQuantizer::TMoments TWuQuantizer::ListedSum(const TBox& box) const {
    TMoments sum;
    uint64_t norms = 0;
    for (size_t i = box.Begin; i < box.End; ++i) {
        AddChannelSums(sum, cells_[i]);
        norms += cells_[i].Norms;
    }
    sum.Norms = static_cast<double>(norms);
    return sum;
}

// The box's cells are summed by their position on each axis, in one pass that sums the whole
// box too; the part below a position is then a running sum of those.
TWuQuantizer::TCut TWuQuantizer::BestListedCut(const TBox& box) {
    TMoments* slabs[3];
    for (int axis = 0; axis < 3; ++axis) {
        slabs[axis] = slabs_.data() + static_cast<size_t>(axis) * kSide;
        std::fill_n(slabs[axis], box.Upper[axis] - box.Lower[axis], TMoments{});
    }
    TMoments whole;
    for (size_t i = box.Begin; i < box.End; ++i) {
        const TListedCell& cell = cells_[i];
        AddChannelSums(whole, cell);
        for (int axis = 0; axis < 3; ++axis)
            AddChannelSums(slabs[axis][cell.At[axis] - box.Lower[axis]], cell);
    }
    TCut best;
    best.Score = Score(whole);
    for (int axis = 0; axis < 3; ++axis) {
        const int lower = box.Lower[axis];
        TMoments low;
        for (int position = lower + 1; position < box.Upper[axis]; ++position) {
            const TMoments& slab = slabs[axis][position - 1 - lower];
            if (slab.Weight == 0) continue;  // the same cut as one place lower
            AddChannelSums(low, slab);
            ConsiderCut(whole, low, axis, position, best);
        }
    }
    return best;
}

void TWuQuantizer::SplitCells(const TCut& cut, TBox& lower, TBox& upper) {
    const auto first = cells_.begin() + static_cast<std::ptrdiff_t>(lower.Begin);
    const auto last = cells_.begin() + static_cast<std::ptrdiff_t>(lower.End);
    const auto middle = std::partition(
        first, last, [&cut](const TListedCell& cell) { return cell.At[cut.Axis] < cut.Position; });
    lower.End = static_cast<size_t>(middle - cells_.begin());
    upper.Begin = lower.End;
}

// Inclusion and exclusion over the four corners of the box's face at `position` on `axis`: the
// sums of every cell of the box's extent on the other two axes at or below `position` on this
// one (the integer sums only).
// The four corners of `box`'s faces across `axis`, at position 0 on it.
TWuQuantizer::TFace TWuQuantizer::FaceOf(const TBox& box, int axis) {
    TFace face;
    const int first = axis == 0 ? 1 : 0;
    const int second = axis == 2 ? 1 : 2;
    for (int corner = 0; corner < 4; ++corner) {
        int at[3];
        at[axis] = 0;
        at[first] = corner & 2 ? box.Upper[first] : box.Lower[first];
        at[second] = corner & 1 ? box.Upper[second] : box.Lower[second];
        face.Corner[corner] = static_cast<size_t>(Index(at[0], at[1], at[2]));
    }
    face.Stride = static_cast<size_t>(axis == 0 ? kSide * kSide : axis == 1 ? kSide : 1);
    return face;
}

// The sums of the cells below `position` on the face's axis: inclusion and exclusion over its
// corners there (both upper or both lower added, the others taken away).
TWuQuantizer::TMoments TWuQuantizer::FaceSum(const TFace& face, int position) const {
    const size_t offset = static_cast<size_t>(position) * face.Stride;
    const TMoments& a = moments_[face.Corner[0] + offset];
    const TMoments& b = moments_[face.Corner[1] + offset];
    const TMoments& c = moments_[face.Corner[2] + offset];
    const TMoments& d = moments_[face.Corner[3] + offset];
    return {a.Weight - b.Weight - c.Weight + d.Weight, a.Red - b.Red - c.Red + d.Red,
            a.Green - b.Green - c.Green + d.Green, a.Blue - b.Blue - c.Blue + d.Blue, 0};
}

TGIFColor TWuQuantizer::MeanColor(const TBox& box) const {
    const TMoments m = Sum(box);
    auto mean = [&m](int64_t sum) {
        return static_cast<uint8_t>(
            std::clamp<int64_t>((2 * sum + m.Weight) / (2 * m.Weight), 0, 255));
    };
    return {mean(m.Red), mean(m.Green), mean(m.Blue)};
}

std::vector<TGIFColor> TWuQuantizer::Quantize(const TColorHistogram& histogram, int maxColors,
                                              TSums sums) {
    std::vector<TGIFColor> palette;
    if (histogram.FilledCells().empty()) return palette;
    std::vector<TBox> boxes{Bounds(histogram)};
    const size_t filled = histogram.FilledCells().size();
    listed_ =
        sums == TSums::kCellLists ||
        (sums == TSums::kAuto && filled * kListedShare <= static_cast<size_t>(boxes[0].Volume()));
    if (listed_)
        ListCells(histogram, boxes[0]);
    else
        Accumulate(histogram, boxes[0]);
    // The boxes by their spread, the largest first (of equal ones the first made): the next to
    // cut is on top. A box that cannot be cut leaves the queue.
    const auto later = [](const TSpread& a, const TSpread& b) {
        return a.Spread < b.Spread || (a.Spread == b.Spread && a.Box > b.Box);
    };
    std::priority_queue<TSpread, std::vector<TSpread>, decltype(later)> spreads(later);
    spreads.push({Variance(boxes[0]), 0});
    const size_t wanted = static_cast<size_t>(std::max(maxColors, 1));
    while (boxes.size() < wanted && !spreads.empty() && spreads.top().Spread > 0) {
        const size_t next = spreads.top().Box;
        spreads.pop();
        const TCut cut = BestCut(boxes[next]);
        if (cut.Axis < 0) continue;
        TBox upper = boxes[next];
        upper.Lower[cut.Axis] = cut.Position;
        boxes[next].Upper[cut.Axis] = cut.Position;
        if (listed_) SplitCells(cut, boxes[next], upper);
        spreads.push({Variance(boxes[next]), next});
        boxes.push_back(upper);
        spreads.push({Variance(upper), boxes.size() - 1});
    }
    palette.reserve(boxes.size());
    for (const TBox& box : boxes)
        if (Sum(box).Weight > 0) palette.push_back(MeanColor(box));
    return palette;
}
