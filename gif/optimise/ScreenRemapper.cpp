#include "gif/optimise/ScreenRemapper.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>
#include <memory>
#include <utility>

#include "gif/colour/ColorDistance.h"
#include "gif/colour/WideColorDistance.h"
#include "gif/colour/dither/ErrorDiffusion.h"
#include "gif/model/GIFColorMap.h"
#include "gif/optimise/StillRuns.h"

namespace {

// Every how many pixels that may be drawn one is looked at to choose the frame's table: an entry
// only a pixel or two would take is missed now and then, and those pixels then take the nearest
// entry of the table chosen. A frame with few changes looks at every one: they are few, and what
// it draws stays on screen while the rest stands still.
constexpr int kCountingStep = 2;
// A frame whose changed pixels are more than 1 / kMostlyNew of the picture, with a full palette
// of its own, draws with that palette without counting entries.
constexpr int64_t kMostlyNew = 2;
// Marks looked at together: a run of unchanged pixels (most of a picture with few changes) is
// passed over with two comparisons.
constexpr int kMarkRun = 16;

bool NoneChanged(const uint8_t* marks) {
    uint64_t words[2];
    std::memcpy(words, marks, sizeof(words));
    return (words[0] | words[1]) == 0;
}

// Whether kMarkRun indices are all `transparent`: most of a frame with few changes is.
bool AllTransparent(const uint8_t* indices, uint8_t transparent) {
    const uint64_t pattern = transparent * 0x0101010101010101u;
    uint64_t words[2];
    std::memcpy(words, indices, sizeof(words));
    return ((words[0] ^ pattern) | (words[1] ^ pattern)) == 0;
}

// The first and the last drawn column of a row of indices, looked for from either end (a row
// is drawn all over, or nowhere but in a stretch); -1 for both when none is drawn.
std::pair<int, int> DrawnColumns(const uint8_t* row, int width, uint8_t transparent) {
    int first = 0;
    while (first + kMarkRun <= width && AllTransparent(row + first, transparent)) first += kMarkRun;
    while (first < width && row[first] == transparent) ++first;
    if (first == width) return {-1, -1};
    int end = width;
    while (end - kMarkRun > first && AllTransparent(row + end - kMarkRun, transparent))
        end -= kMarkRun;
    while (row[end - 1] == transparent) --end;
    return {first, end - 1};
}

// A row of a frame drawn with its own palette, whose changed pixels were mapped to it already
// (see DrawRow).
struct TPremappedRow {
    const uint8_t* Picture;  // blue, green, red
    uint8_t* Shown;          // red, green, blue
    const uint8_t* Marks;
    const uint32_t* Mapped;
    const uint8_t* Premapped;
    const uint32_t* Colors;  // TNearestColor::PackedColors
    uint8_t* Indices;
    uint32_t* Candidates;
    uint8_t Transparent;
    bool EveryPixel;
};

#ifdef CLIPGIF_X86_FEATURES
// DrawRow's pixels from `from` on, eight at a time, while they come in whole groups of eight
// before `end` whose changed pixels are all mapped; returns where it stopped.
__attribute__((target("avx2"))) int DrawPremappedWide(const TPremappedRow& row, int from, int end) {
    const __m256i transparent = _mm256_set1_epi32(row.Transparent);
    const __m256i entryBits = _mm256_set1_epi32(static_cast<int>(~TStepFrame::kMapped));
    int i = from;
    for (; i + 8 <= end; i += 8) {
        const __m256i mapped = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(row.Mapped + i));
        const auto premapped =
            static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(mapped)));
        const __m128i marks = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row.Marks + i));
        if ((FlaggedLanes(marks) & ~premapped) != 0) break;
        const __m256i index = _mm256_cvtepu8_epi32(
            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row.Premapped + i)));
        const __m256i color =
            _mm256_i32gather_epi32(reinterpret_cast<const int*>(row.Colors), index, 4);
        uint8_t* shown = row.Shown + 3 * i;
        const __m256i screen = RgbWords(shown);
        __m256i draw = _mm256_cmpgt_epi32(_mm256_cvtepu8_epi32(marks), _mm256_setzero_si256());
        if (!row.EveryPixel) {
            // Drawn where the entry shows the picture better than the screen does.
            const TWideColor picture = SplitColor(RedGreenBlueWords(row.Picture + 3 * i));
            draw = _mm256_and_si256(draw,
                                    _mm256_cmpgt_epi32(WideDistance(SplitColor(screen), picture),
                                                       WideDistance(SplitColor(color), picture)));
        }
        _mm_storel_epi64(reinterpret_cast<__m128i*>(row.Indices + i),
                         LowBytes(_mm256_blendv_epi8(transparent, index, draw)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row.Candidates + i),
                            _mm256_and_si256(draw, _mm256_and_si256(mapped, entryBits)));
        StoreRgbWords(shown, _mm256_blendv_epi8(screen, color, draw));
    }
    return i;
}
#endif

}  // namespace

std::vector<TGIFColor> TableWithTransparency(const std::vector<TGIFColor>& palette) {
    std::vector<TGIFColor> table = palette;
    table.push_back(TGIFColor{0, 0, 0});
    return table;
}

// The colour lookup of an error diffusion engine over the frame's table. A pixel that stays as
// the screen shows it answers with its own colour: it neither gives nor passes on an error.
class TRemapLookup final : public TColorLookup {
public:
    explicit TRemapLookup(TNearestColor& table, int transparent)
        : TColorLookup(table.Count()), table_(table), transparent_(transparent) {}
    // Whether the next pixel asked for stays as it is.
    bool Keep = false;
    TColorMatch FindIndex(uint8_t red, uint8_t green, uint8_t blue) override {
        if (Keep) return {transparent_, red, green, blue};
        const int index = table_.Find(red, green, blue);
        const TGIFColor& color = table_.Color(index);
        return {index, color.Red, color.Green, color.Blue};
    }

private:
    TNearestColor& table_;
    int transparent_;
};

TScreenRemapper::TScreenRemapper(const TColorQuality& quality, TErrorDiffusion diffusion)
    : quality_(quality),
      dither_(diffusion == edNearest ? quality.DitherMinGap : 0, quality.DitherMaxGap),
      diffusion_(diffusion),
      stillLevels_(StillLevels(quality.KeepDistance)) {}

void TScreenRemapper::Reset() {
    width_ = 0;
    height_ = 0;
    globalTable_.clear();
}

void TScreenRemapper::Remap(TStepFrame& frame) {
    fewChangesFitted_ = frame.FewChanges;
    frame.BeginsGlobalTable = false;
    frame.TransparentIndex = -1;
    const TBitmap& picture = frame.Picture;
    if (globalTable_.empty()) {
        RemapFirst(frame);
        return;
    }
    if (picture.Width() != width_ || picture.Height() != height_) {
        // A picture of another size starts the screen over with a frame that covers it all.
        width_ = picture.Width();
        height_ = picture.Height();
        screen_.assign(static_cast<size_t>(width_) * height_ * 3, 0);
        drawnFrom_.assign(screen_.size(), 0);
        changed_.assign(static_cast<size_t>(width_) * height_, kChanged);
        if (frame.Palette.empty()) {
            frame.Palette.push_back(TGIFColor{0, 0, 0});
            frame.PaletteLookup.SetPalette(frame.Palette);
        }
        frame.OwnTable = true;
        frame.TableBits = TGIFColorMap::BitsPerPixelFor(static_cast<int>(frame.Palette.size()) + 1);
        DrawChanges(frame, frame.PaletteLookup, {0, 0, width_, height_},
                    static_cast<int>(frame.Palette.size()), true);
        return;
    }
    const TRect changed = FindChanges(picture);
    if (changed.Empty()) {
        frame.Area = {};
        frame.Indices.clear();
        return;
    }
    if (MostlyNewColors(frame)) {
        // A palette of all the entries a table holds, fitted to most of the picture: its own.
        frame.OwnTable = true;
        tableIsOwn_ = true;
    } else {
        CountEntries(frame, changed);
        frame.OwnTable = ChooseTable(frame);
    }
    if (!frame.OwnTable && used_.empty()) {
        frame.Area = {};
        frame.Indices.clear();
        return;
    }
    TNearestColor& table = !frame.OwnTable ? global_ : tableIsOwn_ ? frame.PaletteLookup : local_;
    const int colors = table.Count();
    frame.TableBits = TGIFColorMap::BitsPerPixelFor(colors + 1);
    DrawChanges(frame, table, changed, colors, false);
}

void TScreenRemapper::RemapFirst(TStepFrame& frame) {
    width_ = frame.Picture.Width();
    height_ = frame.Picture.Height();
    screen_.assign(static_cast<size_t>(width_) * height_ * 3, 0);
    drawnFrom_.assign(screen_.size(), 0);
    changed_.assign(static_cast<size_t>(width_) * height_, kChanged);
    if (frame.Palette.empty()) {
        frame.Palette.push_back(TGIFColor{0, 0, 0});
        frame.PaletteLookup.SetPalette(frame.Palette);
    }
    const std::vector<TGIFColor>& palette = frame.Palette;
    // The frame's lookup has its cells filled for every colour of the picture already.
    global_ = frame.PaletteLookup;
    globalTable_ = TableWithTransparency(palette);
    frame.OwnTable = false;
    frame.BeginsGlobalTable = true;
    frame.TableBits = TGIFColorMap::BitsPerPixelFor(static_cast<int>(globalTable_.size()));
    // Every pixel of the first frame is drawn, so that the whole screen is covered.
    DrawChanges(frame, global_, {0, 0, width_, height_}, static_cast<int>(palette.size()), true);
}

// A pixel may have to be drawn again once its picture lies farther than the keep distance from
// the picture it was last drawn from (a moving edge at once, a slow fade a little at a time).
// A pixel whose picture stays within that distance of what it was drawn from is never drawn
// again, however the palette showed it then, and whatever noise comes and goes meanwhile: what
// stands still stays still.
TRect TScreenRemapper::FindChanges(const TBitmap& picture) {
    static_assert(kChanged == 1 && kUnchanged == 0, "the marks MarkMovedPixels writes");
    const int keep = quality_.KeepDistance;
    changedPixels_ = 0;
    TRect box{width_, height_, 0, 0};
    for (int y = 0; y < height_; ++y) {
        const uint8_t* in = picture.ScanLine(y);
        const uint8_t* from = drawnFrom_.data() + static_cast<size_t>(y) * width_ * 3;
        uint8_t* mark = changed_.data() + static_cast<size_t>(y) * width_;
        int first = -1, last = -1;
        for (int x = 0; x < width_;) {
            if (x + kStillRun <= width_) {
                uint32_t moved = 0;
                if (RunWithin(in, from, stillLevels_))
                    std::fill_n(mark + x, kStillRun, kUnchanged);
                else
                    moved = MarkMovedPixels(in, from, keep, mark + x);
                if (moved != 0) {
                    changedPixels_ += std::popcount(moved);
                    if (first < 0) first = x + std::countr_zero(moved);
                    last = x + 31 - std::countl_zero(moved);
                }
                x += kStillRun;
                in += 3 * kStillRun;
                from += 3 * kStillRun;
                continue;
            }
            for (const int end = std::min(width_, x + kStillRun); x < end;
                 ++x, in += 3, from += 3) {
                const bool moved =
                    ColorDistance(from[2] - in[2], from[1] - in[1], from[0] - in[0]) > keep;
                mark[x] = moved ? kChanged : kUnchanged;
                if (!moved) continue;
                ++changedPixels_;
                if (first < 0) first = x;
                last = x;
            }
        }
        if (first < 0) continue;
        box.Left = std::min(box.Left, first);
        box.Right = std::max(box.Right, last + 1);
        box.Top = std::min(box.Top, y);
        box.Bottom = y + 1;
    }
    return box.Empty() ? TRect{} : box;
}

bool TScreenRemapper::FewChanges() const {
    return fewChangesFitted_ ||
           changedPixels_ * quality_.FewChangesShare <= static_cast<int64_t>(width_) * height_;
}

bool TScreenRemapper::MostlyNewColors(const TStepFrame& frame) const {
    const int64_t pixels = static_cast<int64_t>(width_) * height_;
    return !frame.FewChanges && static_cast<int>(frame.Palette.size()) >= quality_.MaxColors &&
           changedPixels_ * kMostlyNew > pixels;
}

// Each pixel that may be drawn picks the nearer of its entries in the global table and in the
// frame's own palette; an entry counts when the pixel would then really be drawn (the screen
// does not show it as well already).
void TScreenRemapper::CountEntries(TStepFrame& frame, const TRect& changed) {
    std::fill(std::begin(uses_), std::end(uses_), 0);
    std::fill(std::begin(worth_), std::end(worth_), 0);
    used_.clear();
    const bool withOwn = frame.PaletteLookup.Count() > 0;
    const int step = fewChangesFitted_ ? 1 : kCountingStep;
    int counted = 0;
    for (int y = changed.Top; y < changed.Bottom; ++y) {
        const uint8_t* in = frame.Picture.ScanLine(y);
        const uint8_t* shown = screen_.data() + static_cast<size_t>(y) * width_ * 3;
        const uint8_t* mark = changed_.data() + static_cast<size_t>(y) * width_;
        uint32_t* known = KnownEntries(frame, y);
        for (int x = changed.Left; x < changed.Right;) {
            if (x + kMarkRun <= changed.Right && NoneChanged(mark + x)) {
                x += kMarkRun;
                continue;
            }
            for (const int end = std::min(changed.Right, x + kMarkRun); x < end; ++x)
                if (!CountPixel(frame, x, in, shown, mark, known, withOwn, step, counted)) return;
        }
    }
}

// One pixel of CountEntries' rows; false once the pixels take more entries than a table holds
// and the frame's own palette will be its table.
inline bool TScreenRemapper::CountPixel(TStepFrame& frame, int x, const uint8_t* in,
                                        const uint8_t* shown, const uint8_t* mark, uint32_t* known,
                                        bool withOwn, int step, int& counted) {
    if (mark[x] == kUnchanged || ++counted % step) return true;
    const int r = in[3 * x + 2], g = in[3 * x + 1], b = in[3 * x];
    if (known && !(known[x] & TStepFrame::kMapped)) {
        // A pixel that drifted since it was drawn, which the fitter, comparing with the picture
        // before, did not see: its entries are found here, once, for the drawing too.
        const uint32_t own = withOwn ? static_cast<uint32_t>(frame.PaletteLookup.Find(r, g, b))
                                     : TStepFrame::kNoEntry;
        known[x] = static_cast<uint32_t>(global_.Find(r, g, b)) | (own << 8) | TStepFrame::kMapped;
    }
    const bool isKnown = known != nullptr;
    int entry = isKnown ? static_cast<int>(known[x] & 0xFF) : global_.Find(r, g, b);
    int distance = ColorDistance(global_.Color(entry), r, g, b);
    const uint8_t* s = shown + 3 * x;
    const int shownDistance = ColorDistance(s[0] - r, s[1] - g, s[2] - b);
    int without = shownDistance;
    if (withOwn) {
        const int ownEntry =
            isKnown ? static_cast<int>((known[x] >> 8) & 0xFF) : frame.PaletteLookup.Find(r, g, b);
        const int ownDistance = ColorDistance(frame.PaletteLookup.Color(ownEntry), r, g, b);
        if (ownDistance < distance) {
            without = std::min(without, distance);
            entry = kOwnEntries + ownEntry;
            distance = ownDistance;
        } else {
            without = std::min(without, ownDistance);
        }
    }
    if (shownDistance <= distance) return true;
    if (entry >= kOwnEntries) worth_[entry] += without - distance;
    if (uses_[entry]++ != 0) return true;
    used_.push_back(entry);
    return used_.size() <= static_cast<size_t>(quality_.MaxColors) || FewChanges();
}

// The global table when every pixel drawn takes an entry of it; otherwise a table of the entries
// the pixels take, of either, the most used first. When they are more than a table holds, the
// frame's own palette alone, unless the changes are few: then the global table's entries the
// pixels take, which draw the background a moving thing uncovers as the first frame drew it,
// and of the own palette's those worth most (the others' pixels take the nearest of those).
bool TScreenRemapper::ChooseTable(TStepFrame& frame) {
    const bool globalOnly =
        std::all_of(used_.begin(), used_.end(), [](int entry) { return entry < kOwnEntries; });
    if (globalOnly) return false;
    const size_t most = static_cast<size_t>(quality_.MaxColors);
    if (used_.size() > most && !FewChanges()) {
        tableIsOwn_ = true;
        return true;
    }
    if (used_.size() > most) {
        std::stable_sort(used_.begin(), used_.end(), [this](int a, int b) {
            const bool globalA = a < kOwnEntries, globalB = b < kOwnEntries;
            if (globalA != globalB) return globalA;
            return globalA ? uses_[a] > uses_[b] : worth_[a] > worth_[b];
        });
        used_.resize(most);
    }
    std::stable_sort(used_.begin(), used_.end(),
                     [this](int a, int b) { return uses_[a] > uses_[b]; });
    std::vector<TGIFColor>& colors = frame.Palette;
    colors.clear();
    std::fill(std::begin(localOf_), std::end(localOf_), kNotKept);
    for (int entry : used_) {
        localOf_[entry] = static_cast<int16_t>(colors.size());
        colors.push_back(entry < kOwnEntries ? global_.Color(entry)
                                             : frame.PaletteLookup.Color(entry - kOwnEntries));
    }
    local_.SetPalette(colors);
    tableIsOwn_ = false;
    return true;
}

uint32_t* TScreenRemapper::KnownEntries(TStepFrame& frame, int y) const {
    if (!fewChangesFitted_ || frame.PaletteCandidates.size() != screen_.size() / 3) return nullptr;
    return frame.PaletteCandidates.data() + static_cast<size_t>(y) * width_;
}

// The entry of `table` nearest to a pixel whose nearest entries of the global table and of the
// frame's palette (`own`) are known: the nearer of the two is the nearest of every entry the
// table could hold, so when the table kept it, it is the table's nearest too (of two equally
// near, the one it lists first); -1 when the table dropped it and the nearest may be another.
int TScreenRemapper::KnownNearest(const TNearestColor& table, const TNearestColor& own,
                                  uint32_t known, int r, int g, int b) const {
    const int global = static_cast<int>(known & 0xFF);
    if (&table == &global_) return global;
    const int mine = static_cast<int>((known >> 8) & 0xFF);
    const int globalAt = localOf_[global];
    if (mine == static_cast<int>(TStepFrame::kNoEntry)) return globalAt;
    const int mineAt = localOf_[kOwnEntries + mine];
    const int globalDistance = ColorDistance(global_.Color(global), r, g, b);
    const int mineDistance = ColorDistance(own.Color(mine), r, g, b);
    if (mineDistance != globalDistance) return mineDistance < globalDistance ? mineAt : globalAt;
    if (globalAt < 0 || mineAt < 0) return std::max(globalAt, mineAt);
    return std::min(mineAt, globalAt);
}

inline bool TScreenRemapper::WorthDrawing(const TGIFColor& color, const uint8_t* shown, int r,
                                          int g, int b) const {
    const bool same = color.Red == shown[0] && color.Green == shown[1] && color.Blue == shown[2];
    return !same &&
           ColorDistance(shown[0] - r, shown[1] - g, shown[2] - b) > ColorDistance(color, r, g, b);
}

void TScreenRemapper::DrawChanges(TStepFrame& frame, TNearestColor& table, const TRect& area,
                                  int transparent, bool everyPixel) {
    frame.Area = area;
    frame.TransparencySlot = transparent;
    frame.MayBeTransparent = !everyPixel;
    const size_t pixels = static_cast<size_t>(area.Width()) * area.Height();
    frame.Indices.resize(pixels);
    // Every pixel of the area gets its candidates and what the screen showed; the buffers only
    // grow, so that they are not cleared again for each frame.
    if (frame.Candidates.size() < pixels) frame.Candidates.resize(pixels);
    if (frame.Shown.size() < pixels * 3) frame.Shown.resize(pixels * 3);
    if (diffusion_ == edNearest) {
        for (int y = area.Top; y < area.Bottom; ++y) DrawRow(frame, table, y, everyPixel);
    } else {
        TRemapLookup lookup(table, transparent);
        const std::unique_ptr<TDitherEngine> engine =
            CreateDitherEngine(diffusion_, area.Width(), lookup);
        for (int y = area.Top; y < area.Bottom; ++y)
            DrawRowDiffused(frame, table, y, everyPixel, *engine, lookup);
    }
    if (!everyPixel) DropSpeckles(frame);
    RememberPictures(frame);
}

void TScreenRemapper::DrawRow(TStepFrame& frame, TNearestColor& table, int y, bool everyPixel) {
    const TRect& area = frame.Area;
    const int width = area.Width();
    const uint8_t transparent = static_cast<uint8_t>(frame.TransparencySlot);
    const uint8_t* in = frame.Picture.ScanLine(y) + 3 * area.Left;
    uint8_t* shown = screen_.data() + (static_cast<size_t>(y) * width_ + area.Left) * 3;
    const uint8_t* mark = changed_.data() + static_cast<size_t>(y) * width_ + area.Left;
    const size_t rowStart = static_cast<size_t>(y - area.Top) * width;
    uint8_t* out = frame.Indices.data() + rowStart;
    uint32_t* candidates = frame.Candidates.data() + rowStart;
    std::copy_n(shown, static_cast<size_t>(width) * 3, frame.Shown.data() + rowStart * 3);
    // A frame with few changes is not dithered: its palette went to their colours alone, so its
    // entries lie close together, and a pattern would only add noise to what stays on screen.
    const bool dither = dither_.Enabled() && !frame.FewChanges;
    const uint8_t* contrast =
        dither ? frame.Contrast.data() + static_cast<size_t>(y) * width_ + area.Left : nullptr;
    // The frame's palette has mapped the pixels that changed since the picture before already.
    const size_t pictureRow = static_cast<size_t>(y) * width_ + area.Left;
    const bool ownPalette = &table == &frame.PaletteLookup;
    const uint32_t* mapped = ownPalette ? frame.PaletteCandidates.data() + pictureRow : nullptr;
    const uint8_t* premapped = frame.PaletteIndices.data() + pictureRow;
    const uint32_t* known = ownPalette ? nullptr : KnownEntries(frame, y);
    if (known) known += area.Left;
    // Drawn with another table and nothing known: the row's changed pixels are mapped to it
    // here, as they would be one by one.
    if (!mapped && !known) {
        MapChangedRow(table, in, mark, contrast, area.Left, y, width);
        mapped = rowMapped_.data();
        premapped = rowIndices_.data();
    }
    const auto drawPixel = [&](int i) {
        out[i] = transparent;
        candidates[i] = 0;
        if (mark[i] == kUnchanged) return;
        const uint8_t* p = in + 3 * i;
        const int r = p[2], g = p[1], b = p[0];
        uint32_t entries;
        int index;
        if (mapped && (mapped[i] & TStepFrame::kMapped)) {
            entries = mapped[i] & ~TStepFrame::kMapped;
            index = premapped[i];
        } else if (known && (known[i] & TStepFrame::kMapped) &&
                   (index = KnownNearest(table, frame.PaletteLookup, known[i], r, g, b)) >= 0) {
            // Not dithered, and coded exactly: the cell's other entries go unused.
            entries = static_cast<uint32_t>(index) * 0x010101u;
        } else {
            entries = table.CellEntries(r, g, b);
            index = dither && contrast[i] <= quality_.DitherMaxContrast
                        ? dither_.Map(table, entries, area.Left + i, y, r, g, b)
                        : table.Nearest(entries, r, g, b);
        }
        const TGIFColor& color = table.Color(index);
        uint8_t* s = shown + 3 * i;
        if (!everyPixel && !WorthDrawing(color, s, r, g, b)) return;
        out[i] = static_cast<uint8_t>(index);
        candidates[i] = entries;
        s[0] = color.Red;
        s[1] = color.Green;
        s[2] = color.Blue;
    };
    // Eight pixels at a time where the processor can and they were all mapped.
    [[maybe_unused]] const TPremappedRow wideRow{
        in,  shown,      mark,        mapped,    premapped, mapped ? table.PackedColors() : nullptr,
        out, candidates, transparent, everyPixel};
    [[maybe_unused]] const bool wide = mapped && HasWideVectors();
    for (int i = 0; i < width;) {
        if (i + kMarkRun <= width && NoneChanged(mark + i)) {
            std::fill_n(out + i, kMarkRun, transparent);
            std::fill_n(candidates + i, kMarkRun, 0);
            i += kMarkRun;
            continue;
        }
        const int end = std::min(width, i + kMarkRun);
#ifdef CLIPGIF_X86_FEATURES
        if (wide) i = DrawPremappedWide(wideRow, i, end);
#endif
        for (; i < end; ++i) drawPixel(i);
    }
}

// rowMapped_ and rowIndices_ for the `width` pixels of a row from column x: for each changed
// one, its cell entries of `table` (with TStepFrame::kMapped) and its entry, dithered where
// `contrast` (null: nowhere) allows.
void TScreenRemapper::MapChangedRow(TNearestColor& table, const uint8_t* bgr, const uint8_t* marks,
                                    const uint8_t* contrast, int x, int y, int width) {
    const auto count = static_cast<size_t>(width);
    if (rowMapped_.size() < count) rowMapped_.resize(count);
    if (rowIndices_.size() < count) rowIndices_.resize(count);
    table.CellEntriesRow(bgr, width, marks, rowMapped_.data());
    TPatternDither::TRow row;
    row.Pixels = bgr;
    row.Entries = rowMapped_.data();
    row.Contrast = contrast;
    row.Moved = marks;
    row.Count = width;
    row.X = x;
    row.Y = y;
    dither_.MapRow(table, row, quality_.DitherMaxContrast, rowIndices_.data());
    for (size_t i = 0; i < count; ++i) rowMapped_[i] |= TStepFrame::kMapped;
}

void TScreenRemapper::DrawRowDiffused(TStepFrame& frame, TNearestColor& table, int y,
                                      bool everyPixel, TDitherEngine& engine,
                                      TRemapLookup& lookup) {
    const TRect& area = frame.Area;
    const int width = area.Width();
    const uint8_t transparent = static_cast<uint8_t>(frame.TransparencySlot);
    const uint8_t* in = frame.Picture.ScanLine(y) + 3 * area.Left;
    uint8_t* shownRow = screen_.data() + (static_cast<size_t>(y) * width_ + area.Left) * 3;
    const uint8_t* mark = changed_.data() + static_cast<size_t>(y) * width_ + area.Left;
    const size_t rowStart = static_cast<size_t>(y - area.Top) * width;
    uint8_t* out = frame.Indices.data() + rowStart;
    uint32_t* candidates = frame.Candidates.data() + rowStart;
    std::copy_n(shownRow, static_cast<size_t>(width) * 3, frame.Shown.data() + rowStart * 3);
    for (int i = engine.Column(); i >= 0 && i < width; i = engine.Column()) {
        const uint8_t* p = in + 3 * i;
        uint8_t* shown = shownRow + 3 * i;
        const int r = p[2], g = p[1], b = p[0];
        lookup.Keep = mark[i] == kUnchanged;
        const TColorMatch match = engine.MapPixel(static_cast<uint8_t>(r), static_cast<uint8_t>(g),
                                                  static_cast<uint8_t>(b));
        out[i] = transparent;
        candidates[i] = 0;
        if (lookup.Keep) continue;
        const TGIFColor& color = table.Color(match.index);
        if (!everyPixel && !WorthDrawing(color, shown, r, g, b)) continue;
        out[i] = static_cast<uint8_t>(match.index);
        candidates[i] = table.CellEntries(r, g, b);
        shown[0] = color.Red;
        shown[1] = color.Green;
        shown[2] = color.Blue;
    }
    engine.NextLine();
}

// A lone pixel drawn among transparent ones costs codes on both sides of it; unless the screen
// was far off there, it is left as the screen showed it (noise of the picture, mostly).
void TScreenRemapper::DropSpeckles(TStepFrame& frame) {
    const TRect& area = frame.Area;
    const int width = area.Width();
    const uint8_t transparent = static_cast<uint8_t>(frame.TransparencySlot);
    const int speckle = quality_.SpeckleDistance;
    lonePixels_.Find(frame.Indices.data(), width, area.Height(), transparent, [&](int x, int y) {
        const size_t at = static_cast<size_t>(y) * width + x;
        const uint8_t* before = frame.Shown.data() + 3 * at;
        const uint8_t* p = frame.Picture.ScanLine(area.Top + y) + 3 * (area.Left + x);
        if (ColorDistance(before[0] - p[2], before[1] - p[1], before[2] - p[0]) > speckle) return;
        frame.Indices[at] = transparent;
        std::copy_n(
            before, 3,
            screen_.data() + (static_cast<size_t>(area.Top + y) * width_ + area.Left + x) * 3);
    });
}

// The drawn pixels were drawn from the frame's picture.
void TScreenRemapper::RememberPictures(const TStepFrame& frame) {
    const TRect& area = frame.Area;
    const uint8_t transparent = static_cast<uint8_t>(frame.TransparencySlot);
    for (int y = area.Top; y < area.Bottom; ++y) {
        const uint8_t* in = frame.Picture.ScanLine(y) + 3 * area.Left;
        const uint8_t* drawn =
            frame.Indices.data() + static_cast<size_t>(y - area.Top) * area.Width();
        uint8_t* from = drawnFrom_.data() + (static_cast<size_t>(y) * width_ + area.Left) * 3;
        // Runs of drawn pixels are copied whole: both are rows of blue, green, red.
        const int width = area.Width();
        for (int x = 0; x < width;) {
            if (x + kMarkRun <= width && AllTransparent(drawn + x, transparent)) {
                x += kMarkRun;
                continue;
            }
            if (drawn[x] == transparent) {
                ++x;
                continue;
            }
            const int start = x;
            const void* stop = std::memchr(drawn + x, transparent, static_cast<size_t>(width - x));
            x = stop ? static_cast<int>(static_cast<const uint8_t*>(stop) - drawn) : width;
            std::memcpy(from + 3 * start, in + 3 * start, 3 * static_cast<size_t>(x - start));
        }
    }
}

// The frame shrinks to the rectangle of its drawn pixels; its rows move up within the buffers.
void CropToDrawn(TStepFrame& frame) {
    const TRect area = frame.Area;
    const int width = area.Width();
    const uint8_t transparent = static_cast<uint8_t>(frame.TransparencySlot);
    TRect drawn{area.Right, area.Bottom, area.Left, area.Top};
    for (int y = 0; y < area.Height(); ++y) {
        const uint8_t* row = frame.Indices.data() + static_cast<size_t>(y) * width;
        const auto [first, last] = DrawnColumns(row, width, transparent);
        if (first < 0) continue;
        drawn.Left = std::min(drawn.Left, area.Left + first);
        drawn.Right = std::max(drawn.Right, area.Left + last + 1);
        drawn.Top = std::min(drawn.Top, area.Top + y);
        drawn.Bottom = area.Top + y + 1;
    }
    frame.TransparentIndex = -1;
    if (drawn.Empty()) {
        frame.Area = {};
        frame.Indices.clear();
        return;
    }
    const int drawnWidth = drawn.Width();
    if (!(drawn == area)) {
        for (int y = drawn.Top; y < drawn.Bottom; ++y) {
            const size_t from =
                static_cast<size_t>(y - area.Top) * width + (drawn.Left - area.Left);
            const size_t to = static_cast<size_t>(y - drawn.Top) * drawnWidth;
            std::copy_n(frame.Indices.data() + from, drawnWidth, frame.Indices.data() + to);
            std::copy_n(frame.Candidates.data() + from, drawnWidth, frame.Candidates.data() + to);
            std::copy_n(frame.Shown.data() + 3 * from, 3 * static_cast<size_t>(drawnWidth),
                        frame.Shown.data() + 3 * to);
        }
        frame.Indices.resize(static_cast<size_t>(drawnWidth) * drawn.Height());
        frame.Area = drawn;
    }
    if (std::memchr(frame.Indices.data(), transparent, frame.Indices.size()) != nullptr)
        frame.TransparentIndex = frame.TransparencySlot;
}
