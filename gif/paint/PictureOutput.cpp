#include "gif/paint/PictureOutput.h"

#include "gif/colour/ColorReduction.h"
#include "gif/model/GIFImage.h"
#include "gif/paint/GIFComposer.h"

namespace {

TColor AsColor(uint32_t rgb) {
    return RGBColor(static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                    static_cast<uint8_t>(rgb));
}

// The picture dithered to the web colour cube, its mask kept.
void Dither(TBitmap& picture) {
    TBitmap source = picture;
    TBitmap dithered = *ReduceBitmapColors(source, prWebCube216, edFloydSteinberg, 8, nullptr);
    if (picture.Transparent()) {
        std::vector<bool> mask(static_cast<size_t>(picture.Width()) * picture.Height());
        for (int y = 0; y < picture.Height(); ++y)
            for (int x = 0; x < picture.Width(); ++x)
                mask[static_cast<size_t>(y) * picture.Width() + x] = picture.MaskBit(x, y);
        dithered.SetMask(std::move(mask));
        dithered.SetTransparent(true);
    }
    picture = std::move(dithered);
}

}  // namespace

uint32_t ScreenBackgroundColor(const TGIFImage& image) {
    const TGIFHeader& header = image.Header();
    const TGIFColorMap& table = header.ColorMap();
    if (table.Count() == 0) return 0;
    const int index =
        header.BackgroundColorIndex() < table.Count() ? header.BackgroundColorIndex() : 0;
    const TGIFColor& color = table.Data()[index];
    return (static_cast<uint32_t>(color.Red) << 16) | (static_cast<uint32_t>(color.Green) << 8) |
           color.Blue;
}

TPictureOutput::TPictureOutput(TGIFImage& image, TCanvas& canvas, const TRect& target,
                               uint16_t options)
    : canvas_(canvas),
      target_(target),
      options_(options),
      dither_(image.DitherForDisplay()),
      backdrop_(image.BackdropColor()),
      screenBackground_(ScreenBackgroundColor(image)),
      placements_(PlacePicture(target, image.Width(), image.Height(), options & poTile)) {}

bool TPictureOutput::Masked() const { return backdrop_ != clNone || (options_ & poTransparent); }

void TPictureOutput::SaveBackground() {
    if (backdrop_ != clNone || !(options_ & poTransparent)) return;
    background_ = canvas_.CopyRect(target_);
    backgroundSaved_ = true;
}

void TPictureOutput::PaintBehind(const TRect& dest) {
    if (backdrop_ != clNone) {
        canvas_.FillRect(dest, backdrop_);
    } else if (backgroundSaved_) {
        canvas_.Draw(dest, background_,
                     {dest.Left - target_.Left, dest.Top - target_.Top, dest.Right - target_.Left,
                      dest.Bottom - target_.Top});
    } else if (!(options_ & poTransparent)) {
        canvas_.FillRect(dest, AsColor(screenBackground_));
    }
}

void TPictureOutput::DrawPicture(const TGIFComposer& composer) {
    composer.ToBitmap(picture_, Masked());
    if (dither_) Dither(picture_);
    for (const TPlacedPart& part : placements_) {
        if (picture_.Transparent()) PaintBehind(part.Dest);
        canvas_.Draw(part.Dest, picture_, part.Source);
    }
}

void TPictureOutput::DrawArea(const TBitmap& bitmap, const TRect& area) {
    for (const TPlacedPart& part : PlaceArea(placements_, area))
        canvas_.Draw(part.Dest, bitmap, part.Source);
}

std::vector<TBitmap> TPictureOutput::CopyArea(const TRect& area) const {
    std::vector<TBitmap> copies;
    for (const TRect& dest : AreaTargets(area)) copies.push_back(canvas_.CopyRect(dest));
    return copies;
}

void TPictureOutput::RestoreArea(const std::vector<TBitmap>& copies, const TRect& area) {
    const std::vector<TRect> targets = AreaTargets(area);
    for (size_t i = 0; i < targets.size() && i < copies.size(); ++i)
        canvas_.Draw(targets[i], copies[i], {0, 0, copies[i].Width(), copies[i].Height()});
}

std::vector<TRect> TPictureOutput::AreaTargets(const TRect& area) const {
    std::vector<TRect> targets;
    for (const TPlacedPart& part : PlaceArea(placements_, area)) targets.push_back(part.Dest);
    return targets;
}
