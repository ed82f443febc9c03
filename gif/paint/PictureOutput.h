#pragma once
// How a document's pictures reach a canvas: placed by the paint options (stretched or tiled),
// with the right thing behind pixels no frame covers, dithered when painting asks for it.
#include <cstdint>
#include <vector>

#include "gif/paint/PaintLayout.h"
#include "platform/Bitmap.h"
#include "platform/Canvas.h"

class TGIFImage;
class TGIFComposer;

// The colour of pixels no frame covers (0x00RRGGBB): the background entry of the global colour
// table, else black.
uint32_t ScreenBackgroundColor(const TGIFImage& image);

class TPictureOutput {
public:
    // Reads what it needs of the document at once; the canvas must outlive the output.
    TPictureOutput(TGIFImage& image, TCanvas& canvas, const TRect& target, uint16_t options);

    TCanvas& Canvas() const { return canvas_; }
    const TRect& Target() const { return target_; }
    // ScreenBackgroundColor of the document.
    uint32_t ScreenBackground() const { return screenBackground_; }

    // Keeps what the target shows now, to paint it behind transparent pixels later (with
    // poTransparent and no backdrop colour).
    void SaveBackground();
    // Paints what belongs behind the pictures on part of the target: the backdrop colour, the
    // saved background, or the screen's background colour.
    void PaintBehind(const TRect& dest);
    // The composed picture over the whole target.
    void DrawPicture(const TGIFComposer& composer);
    // A bitmap that covers `area` of the logical screen, wherever that area lands.
    void DrawArea(const TBitmap& bitmap, const TRect& area);
    // What the target shows where `area` lands, and putting it back.
    std::vector<TBitmap> CopyArea(const TRect& area) const;
    void RestoreArea(const std::vector<TBitmap>& copies, const TRect& area);
    // The rectangles of the target `area` lands on.
    std::vector<TRect> AreaTargets(const TRect& area) const;

private:
    bool Masked() const;

    TCanvas& canvas_;
    TRect target_;
    uint16_t options_;
    bool dither_;
    TColor backdrop_;
    uint32_t screenBackground_;
    std::vector<TPlacedPart> placements_;
    TBitmap background_;
    bool backgroundSaved_ = false;
    TBitmap picture_;
};
