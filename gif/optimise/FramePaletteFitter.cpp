#include "gif/optimise/FramePaletteFitter.h"

#include <algorithm>
#include <bit>

#include "gif/colour/ColorDistance.h"
#include "gif/optimise/LocalContrast.h"
#include "gif/optimise/StillRuns.h"

namespace {

constexpr int kFirstPasses = 6;
// A first picture's refinement looks at about this many of its pixels (all of them up to 640x480
// and a little more, scattered over a larger one): its palette stays on screen for as long as
// the background does, and a sample of a few pixels in each row misses thin lines and small
// marks. Six passes over them cost a few milliseconds, once.
constexpr int kFirstSamples = 1 << 18;

// The pixels of a row of blue, green, red that differ from the same row of the picture before;
// returns how many, and marks them in `moved`. While `changed` has room, their positions (from
// `start`, the row's first) go there too, so that a frame with few changes can visit them again
// without a pass over the whole picture.
int AddChangedPixels(TPaletteBuilder& builder, const uint8_t* row, const uint8_t* before, int width,
                     int keepDistance, int stillLevels, uint32_t start,
                     std::vector<uint32_t>& changed, uint8_t* moved) {
    int added = 0;
    size_t room = changed.capacity() - changed.size();
    for (int x = 0; x < width;) {
        if (x + kStillRun <= width) {
            uint32_t stretch = 0;
            if (RunWithin(row, before, stillLevels))
                std::fill_n(moved + x, kStillRun, 0);
            else
                stretch = MarkMovedPixels(row, before, keepDistance, moved + x);
            // The run's changed colours are scattered over the histogram: their cells are
            // fetched all at once before they are added to one by one.
            for (uint32_t fetch = stretch; fetch != 0; fetch &= fetch - 1) {
                const uint8_t* p = row + 3 * std::countr_zero(fetch);
                builder.Prefetch(p[2], p[1], p[0]);
            }
            for (; stretch != 0; stretch &= stretch - 1) {
                const int at = std::countr_zero(stretch);
                const uint8_t* p = row + 3 * at;
                builder.Add(p[2], p[1], p[0]);
                if (room > 0) {
                    changed.push_back(start + static_cast<uint32_t>(x + at));
                    --room;
                }
                ++added;
            }
            x += kStillRun;
            row += 3 * kStillRun;
            before += 3 * kStillRun;
            continue;
        }
        for (const int end = std::min(width, x + kStillRun); x < end; ++x, row += 3, before += 3) {
            const bool still = ColorDistance(row[2] - before[2], row[1] - before[1],
                                             row[0] - before[0]) <= keepDistance;
            moved[x] = still ? 0 : 1;
            if (still) continue;
            builder.Add(row[2], row[1], row[0]);
            if (room > 0) {
                changed.push_back(start + static_cast<uint32_t>(x));
                --room;
            }
            ++added;
        }
    }
    return added;
}

// The blue, green, red bytes at positions (y * width + x) of a picture asked for in ascending
// order: the row is worked out again only where it changes.
class TPixelAt {
public:
    explicit TPixelAt(const TBitmap& picture)
        : width_(static_cast<uint32_t>(picture.Width())),
          top_(picture.ScanLine(0)),
          rowBytes_(picture.RowBytes()),
          row_(top_) {}
    const uint8_t* operator()(uint32_t at) {
        if (at >= rowEnd_ || at < rowStart_) {
            const uint32_t y = at / width_;
            rowStart_ = y * width_;
            rowEnd_ = rowStart_ + width_;
            row_ = top_ + y * rowBytes_;
        }
        return row_ + 3 * (at - rowStart_);
    }

private:
    uint32_t width_;
    const uint8_t* top_;
    size_t rowBytes_;
    const uint8_t* row_;
    uint32_t rowStart_ = 0, rowEnd_ = 0;
};

// How many changed pixels ahead of the one visited the lookup's cell is fetched.
constexpr size_t kFetchAhead = 16;

// Calls visit(at, pixel) for each position `at` (ascending) of `changed`, with the pixel's blue,
// green, red bytes, after asking `lookup` to fetch the cell of the pixel kFetchAhead later: the
// changed pixels' colours are scattered, and their cells would be waited for one by one.
template <typename Visit>
void ForEachChangedPixel(const std::vector<uint32_t>& changed, const TBitmap& picture,
                         const TNearestColor& lookup, Visit&& visit) {
    TPixelAt pixel(picture), later(picture);
    const size_t count = changed.size();
    for (size_t i = 0; i < count; ++i) {
        if (i + kFetchAhead < count) {
            const uint8_t* p = later(changed[i + kFetchAhead]);
            lookup.Prefetch(p[2], p[1], p[0]);
        }
        visit(changed[i], pixel(changed[i]));
    }
}

}  // namespace

// Sets the frame's palette lookup; with mapPixels, also maps every pixel that changed to the
// palette (dithered as the remap would), which fills the cells the remap will ask for.
void TFramePaletteFitter::PrepareLookup(TStepFrame& frame, bool changesOnly, bool mapPixels) {
    TNearestColor& lookup = frame.PaletteLookup;
    lookup.SetPalette(frame.Palette);
    const TBitmap& picture = frame.Picture;
    const int width = picture.Width();
    const size_t pixels = static_cast<size_t>(width) * picture.Height();
    frame.PaletteIndices.resize(pixels);
    if (frame.Palette.empty() || !mapPixels) return;
    rowEntries_.resize(static_cast<size_t>(width));
    const int maxContrast = dither_.Enabled() ? quality_.DitherMaxContrast : -1;
    for (int y = 0; y < picture.Height(); ++y) {
        const size_t start = static_cast<size_t>(y) * width;
        TPatternDither::TRow row;
        row.Pixels = picture.ScanLine(y);
        row.Entries = rowEntries_.data();
        row.Contrast = frame.Contrast.data() + start;
        row.Moved = changesOnly ? moved_.data() + start : nullptr;
        row.Count = width;
        row.Y = y;
        lookup.CellEntriesRow(row.Pixels, width, row.Moved, rowEntries_.data());
        dither_.MapRow(lookup, row, maxContrast, frame.PaletteIndices.data() + start);
        uint32_t* candidates = frame.PaletteCandidates.data() + start;
        for (int x = 0; x < width; ++x) {
            const uint32_t entries = rowEntries_[static_cast<size_t>(x)] | TStepFrame::kMapped;
            candidates[x] = !row.Moved || row.Moved[x] ? entries : candidates[x];
        }
    }
}

void TFramePaletteFitter::FitPalette(TStepFrame& frame, TFirstPalette& first) {
    const TBitmap& picture = frame.Picture;
    const TBitmap& previous = frame.Previous;
    const bool changesOnly =
        previous.Width() == picture.Width() && previous.Height() == picture.Height();
    frame.FewChanges = false;
    globalKnown_ = false;
    frame.PaletteCandidates.assign(static_cast<size_t>(picture.Width()) * picture.Height(), 0);
    if (!changesOnly) {
        // Whatever happens, the frames waiting for the first palette get one.
        try {
            FitFirstPalette(frame);
        } catch (...) {
            first.Publish({});
            throw;
        }
        first.Publish(frame.Palette);
    } else {
        FitChangesPalette(frame, first);
    }
    if (!frame.FewChanges) MeasureContrast(picture, frame.Contrast, rows_);
    // A frame with few changes draws with entries of both its palette and the global table, a
    // table the remap makes; its pixels get their nearest entries of both instead.
    PrepareLookup(frame, changesOnly, mapChanges_ && !frame.FewChanges);
    if (frame.FewChanges && globalKnown_) AddOwnEntries(frame);
}

// Each changed pixel of a frame with few changes, its nearest global entry known already, gets
// its nearest entry of the frame's palette too (see TStepFrame::PaletteCandidates).
void TFramePaletteFitter::AddOwnEntries(TStepFrame& frame) const {
    TNearestColor& own = frame.PaletteLookup;
    if (own.Count() == 0) return;
    uint32_t* candidates = frame.PaletteCandidates.data();
    ForEachChangedPixel(changed_, frame.Picture, own, [&](uint32_t at, const uint8_t* p) {
        const auto mine = static_cast<uint32_t>(own.Find(p[2], p[1], p[0]));
        candidates[at] = (candidates[at] & ~(TStepFrame::kNoEntry << 8)) | (mine << 8);
    });
}

// A first picture's palette becomes the global table and draws all of what stands still: it
// gets more refinement.
void TFramePaletteFitter::FitFirstPalette(TStepFrame& frame) {
    const TBitmap& picture = frame.Picture;
    const int pixels = picture.Width() * picture.Height();
    builder_.SetSampleStep(std::max(1, pixels / kFirstSamples));
    for (int y = 0; y < picture.Height(); ++y)
        builder_.AddRow(picture.ScanLine(y), picture.Width());
    frame.Palette = builder_.Build(quality_.MaxColors, kFirstPasses);
}

// The changed pixels; when they are few, only those of colours the global table lacks, visited
// again from the list of their positions once they are counted.
void TFramePaletteFitter::FitChangesPalette(TStepFrame& frame, const TFirstPalette& first) {
    const TBitmap& picture = frame.Picture;
    const TBitmap& previous = frame.Previous;
    const int width = picture.Width(), height = picture.Height();
    const int64_t pixels = int64_t{width} * height;
    const auto mostFew = static_cast<size_t>(pixels / std::max(1, quality_.FewChangesShare));
    changed_.clear();
    if (changed_.capacity() < mostFew) changed_.reserve(mostFew);
    builder_.SetSampleStep(0);
    moved_.resize(static_cast<size_t>(pixels));
    int changed = 0;
    for (int y = 0; y < height; ++y) {
        const auto start = static_cast<uint32_t>(y) * width;
        changed += AddChangedPixels(builder_, picture.ScanLine(y), previous.ScanLine(y), width,
                                    quality_.KeepDistance, stillLevels_, start, changed_,
                                    moved_.data() + start);
    }
    const bool fewChanges = static_cast<int64_t>(changed) * quality_.FewChangesShare <= pixels;
    if (!fewChanges) {
        frame.Palette = builder_.Build(quality_.MaxColors);
        return;
    }
    const std::vector<TGIFColor>& global = first.Wait();
    globalKnown_ = !global.empty();
    if (globalKnown_) {
        if (!globalLookup_) globalLookup_ = std::make_unique<TNearestColor>();
        if (globalLookup_->Count() != static_cast<int>(global.size()) ||
            !std::equal(global.begin(), global.end(), &globalLookup_->Color(0)))
            globalLookup_->SetPalette(global);
        builder_.Forget();
        AddNewColors(frame);
    }
    frame.Palette = builder_.Build(quality_.FewChangesColors);
    frame.FewChanges = true;
}

// Of the changed pixels, those farther than the new colour distance from every entry of the
// global table; each changed pixel's nearest global entry goes into frame.PaletteCandidates
// (its own entry comes later).
void TFramePaletteFitter::AddNewColors(TStepFrame& frame) {
    TNearestColor& global = *globalLookup_;
    uint32_t* candidates = frame.PaletteCandidates.data();
    const int newColorDistance = quality_.NewColorDistance;
    ForEachChangedPixel(changed_, frame.Picture, global, [&](uint32_t at, const uint8_t* p) {
        const int r = p[2], g = p[1], b = p[0];
        const int entry = global.Find(r, g, b);
        candidates[at] =
            static_cast<uint32_t>(entry) | (TStepFrame::kNoEntry << 8) | TStepFrame::kMapped;
        if (ColorDistance(global.Color(entry), r, g, b) > newColorDistance) builder_.Add(r, g, b);
    });
}
