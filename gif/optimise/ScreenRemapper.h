#pragma once
// Step 2 of the fitted colour road (see FittedFrame.h): the frame against the picture the
// viewer shows after the frames before it. A pixel the screen already shows closely enough
// (within the quality's keep distance, or as close as the palette could draw it) stays as it
// is: transparent in the frame. The pixels that changed get palette indices, dithered with a
// pattern that depends only on their place; the frame's area is the rectangle where pixels
// changed, which CropToDrawn (any thread, afterwards) shrinks to the pixels drawn.
// The first frame's palette becomes the global colour table. A later frame's pixels take the
// nearer of the global table's entries and those of a palette fitted to the frame's changes; a
// frame whose pixels all take global entries uses the global table, any other gets a table of
// just the entries its pixels take. A still background thus keeps its colours, and a frame pays
// for a table only when new colours appear.
//
// One remapper serves one output; its frames go through it one at a time, in order.
#include <cstdint>
#include <vector>

#include "gif/colour/NearestColor.h"
#include "gif/colour/dither/DitherEngine.h"
#include "gif/colour/dither/PatternDither.h"
#include "gif/optimise/ColorQuality.h"
#include "gif/optimise/LonePixels.h"
#include "gif/optimise/StepFrame.h"

class TScreenRemapper {
public:
    // With a diffusion mode other than edNearest the changed pixels are dithered by that error
    // diffusion engine instead of the pattern; the error spreads only among changed pixels.
    explicit TScreenRemapper(const TColorQuality& quality, TErrorDiffusion diffusion = edNearest);

    // Forgets the screen and the global table: the next frame is a first frame.
    void Reset();
    // Fills the frame's area, indices, table choice and transparency from its picture and
    // palette, and draws the frame on the screen.
    void Remap(TStepFrame& frame);

    // What the viewer shows after the frames remapped so far, red, green, blue per pixel (as
    // the remap drew it; lossy coding may then change drawn pixels within its distance).
    const std::vector<uint8_t>& Screen() const { return screen_; }

    // The global colour table: the first frame's palette and the entry for transparency; empty
    // before the first frame.
    const std::vector<TGIFColor>& GlobalTable() const { return globalTable_; }

private:
    void RemapFirst(TStepFrame& frame);
    // Marks the pixels the screen does not show closely enough (changed_); their bounding
    // rectangle.
    TRect FindChanges(const TBitmap& picture);
    // Counts, for the pixels that will be drawn, the entries of the global table and of the
    // frame's palette they take (uses_, used_), and what each entry is worth to them (worth_).
    void CountEntries(TStepFrame& frame, const TRect& changed);
    bool CountPixel(TStepFrame& frame, int x, const uint8_t* in, const uint8_t* shown,
                    const uint8_t* mark, uint32_t* known, bool withOwn, int step, int& counted);
    // Whether the frame's changes are so many, and its palette so full, that it takes that
    // palette as its table without looking further.
    bool MostlyNewColors(const TStepFrame& frame) const;
    // Whether the frame's changes are few enough to draw with a table of the entries they take
    // however many they are (as many as a table holds), or its palette was fitted to add to the
    // global table's entries.
    bool FewChanges() const;
    // Whether the frame needs a table of its own; if so, makes it (frame.Palette, local_).
    bool ChooseTable(TStepFrame& frame);
    // Row y of the nearest entries the fitter found for a frame with few changes (and the
    // counting adds for the pixels it did not see), or null.
    uint32_t* KnownEntries(TStepFrame& frame, int y) const;
    int KnownNearest(const TNearestColor& table, const TNearestColor& own, uint32_t known, int r,
                     int g, int b) const;
    // Draws the changed pixels of `area` with `table` (whose transparency entry is
    // `transparent`) into frame.Indices, cropped to the pixels really drawn; with everyPixel,
    // every pixel of the area is drawn whatever the screen shows.
    void DrawChanges(TStepFrame& frame, TNearestColor& table, const TRect& area, int transparent,
                     bool everyPixel);
    void DrawRow(TStepFrame& frame, TNearestColor& table, int y, bool everyPixel);
    // The same with error diffusion, in the engine's serpentine order.
    void DrawRowDiffused(TStepFrame& frame, TNearestColor& table, int y, bool everyPixel,
                         TDitherEngine& engine, class TRemapLookup& lookup);
    // Whether the pixel drawn as `color` would show the picture's (r, g, b) better than the
    // screen does (`shown`).
    bool WorthDrawing(const TGIFColor& color, const uint8_t* shown, int r, int g, int b) const;
    void MapChangedRow(TNearestColor& table, const uint8_t* bgr, const uint8_t* marks,
                       const uint8_t* contrast, int x, int y, int width);
    void RememberPictures(const TStepFrame& frame);
    // Leaves lone drawn pixels as the screen showed them where that was near enough.
    void DropSpeckles(TStepFrame& frame);

    TColorQuality quality_;
    TPatternDither dither_;
    TErrorDiffusion diffusion_;
    int stillLevels_;  // see StillRuns.h
    int width_ = 0;
    int height_ = 0;
    // What the viewer shows: red, green, blue per pixel.
    std::vector<uint8_t> screen_;
    // Per pixel: whether it may have to be drawn.
    enum : uint8_t { kUnchanged = 0, kChanged = 1 };
    std::vector<uint8_t> changed_;
    int64_t changedPixels_ = 0;
    // The pictures the screen's pixels were last drawn from, as the pictures come: blue, green,
    // red per pixel.
    std::vector<uint8_t> drawnFrom_;
    std::vector<TGIFColor> globalTable_;
    TNearestColor global_;
    // The table of a frame that draws with entries of both the global table and its own palette.
    TNearestColor local_;
    bool tableIsOwn_ = false;        // the frame draws with its palette's lookup rather than local_
    bool fewChangesFitted_ = false;  // the frame's palette holds what the global table lacks
    // Pixels that take each entry: 0-255 of the global table, then 256-511 of the own palette.
    static constexpr int kOwnEntries = 256;
    int uses_[2 * kOwnEntries] = {};
    // The error the pixels that take each entry of the own palette would show without it (each
    // the nearer of the global table's nearest entry and what the screen shows): an entry the
    // global table all but repeats is worth little however many pixels take it, a colour no
    // other entry comes near is worth much to a few.
    int64_t worth_[2 * kOwnEntries] = {};
    // Where the entries (numbered as in uses_) are in local_, kNotKept for those left out.
    static constexpr int16_t kNotKept = -1;
    int16_t localOf_[2 * kOwnEntries] = {};
    TLonePixels lonePixels_;  // DropSpeckles' rows
    // A row's changed pixels mapped to a table that is not the frame's palette (MapChangedRow).
    std::vector<uint32_t> rowMapped_;
    std::vector<uint8_t> rowIndices_;
    std::vector<int> used_;
};

// The colour table of a palette: its colours, then the entry that transparent pixels index.
std::vector<TGIFColor> TableWithTransparency(const std::vector<TGIFColor>& palette);

// Shrinks a remapped frame to the rectangle of its drawn pixels (an empty area when it draws
// none) and marks its transparent index when some of them stay transparent.
void CropToDrawn(TStepFrame& frame);
