#include "gif/optimise/FittedFrameCoder.h"

#include <algorithm>
#include <memory>

#include "gif/colour/ColorDistance.h"
#include "gif/model/GIFExtensions.h"
#include "gif/model/GIFSubImage.h"
#include "gif/optimise/ScreenRemapper.h"

namespace {

// The alternatives of a frame's drawn pixels: entries of the frame's table within the lossy
// distance of the picture, and transparency where the screen shows the pixel within it.
class TFittedLatitude {
public:
    TFittedLatitude(const TStepFrame& frame, const std::vector<TGIFColor>& table, int distance)
        : frame_(frame),
          table_(table),
          distance_(distance),
          width_(static_cast<size_t>(frame.Area.Width())) {
        StartRow(0);
    }

    // Transparency first (it costs nothing to draw), then the pixel's cell entries, nearest to
    // the cell's centre first. The pixel's own value and repeated entries may be among them: the
    // pass offers Choose only those that extend the string, and the value itself does not.
    int Candidates(size_t index, int value, uint8_t* out) const {
        if (value == frame_.TransparencySlot) return 0;
        out[0] = static_cast<uint8_t>(frame_.TransparencySlot);
        int count = frame_.MayBeTransparent ? 1 : 0;
        const uint32_t entries = frame_.Candidates[index];
        for (int i = 0; i < TNearestColor::kCellEntries; ++i)
            out[count++] = static_cast<uint8_t>(TNearestColor::Entry(entries, i));
        return count;
    }

    // The nearest to the picture of the values within the distance they are allowed; the first
    // of equally near ones.
    int Choose(size_t index, int /*value*/, const uint8_t* values, int count) {
        // Pixels are asked for in coding order: the row moves on without a division.
        if (index < rowStart_ || index >= rowStart_ + width_) StartRow(index / width_);
        const size_t column = index - rowStart_;
        const uint8_t* in = pictureRow_ + 3 * column;
        const int r = in[2], g = in[1], b = in[0];
        const int allowed = AllowedDistance(contrastRow_[column]);
        int chosen = -1;
        int nearest = 0;
        for (int i = 0; i < count; ++i) {
            int d, limit;
            if (values[i] == frame_.TransparencySlot) {
                const uint8_t* shown = frame_.Shown.data() + 3 * index;
                d = ColorDistance(shown[0] - r, shown[1] - g, shown[2] - b);
                limit = distance_ / kTransparencyShare;
            } else {
                d = ColorDistance(table_[values[i]], r, g, b);
                limit = allowed;
            }
            if (d <= limit && (chosen < 0 || d < nearest)) {
                chosen = i;
                nearest = d;
            }
        }
        return chosen;
    }

private:
    // Row `row` of the frame's area.
    void StartRow(size_t row) {
        const int y = frame_.Area.Top + static_cast<int>(row);
        rowStart_ = row * width_;
        if (y >= frame_.Area.Bottom) return;  // past the last pixel: never asked for
        pictureRow_ = frame_.Picture.ScanLine(y) + 3 * frame_.Area.Left;
        contrastRow_ = frame_.Contrast.data() + static_cast<size_t>(y) * frame_.Picture.Width() +
                       frame_.Area.Left;
    }

    // Transparency shows what the screen kept, which may differ from the picture in ways the
    // distance does not tell (an old edge): it is allowed only a quarter of the distance,
    // whatever the texture.
    static constexpr int kTransparencyShare = 4;
    // Texture hides errors that a smooth area shows: the distance allowed grows with how much
    // the pixel differs from its neighbours (half the base distance on a flat area, the base
    // distance at a difference of kTextureUnit levels, more beyond).
    static constexpr int kTextureUnit = 8;
    static constexpr int kMostTexture = 48;
    int AllowedDistance(int contrast) const {
        const int scale = kTextureUnit + std::min(contrast, kMostTexture);  // in kTextureUnit/2
        return distance_ * scale * scale / (4 * kTextureUnit * kTextureUnit);
    }

    const TStepFrame& frame_;
    const std::vector<TGIFColor>& table_;
    int distance_;
    size_t width_;
    size_t rowStart_ = 0;
    const uint8_t* pictureRow_ = nullptr;
    const uint8_t* contrastRow_ = nullptr;
};

}  // namespace

// The frame that begins the global table is coded exactly: what it draws of the background stays
// on screen for the whole clip, while its bytes are paid once. So is a frame with few changes:
// what it draws (a pointer, a caption, the background a moving thing uncovers) stays while the
// rest stands still, and an error there would show until the picture moves on.
bool TFittedFrameCoder::RewriteLossily(TStepFrame& frame, const std::vector<TGIFColor>& table) {
    if (quality_.LossyDistance <= 0 || frame.BeginsGlobalTable || frame.FewChanges) return false;
    TFittedLatitude latitude(frame, table, quality_.LossyDistance);
    lossy_.Rewrite(frame.Indices.data(), frame.Indices.size(), frame.TableBits, latitude, strings_);
    const uint8_t slot = static_cast<uint8_t>(frame.TransparencySlot);
    if (frame.MayBeTransparent &&
        std::find(frame.Indices.begin(), frame.Indices.end(), slot) != frame.Indices.end())
        frame.TransparentIndex = frame.TransparencySlot;
    return true;
}

void TFittedFrameCoder::Code(TStepFrame& frame, const std::vector<TGIFColor>& globalTable,
                             TGIFEncoding encoding) {
    frame.Frame.reset();
    CropToDrawn(frame);
    if (frame.AddsNothing()) return;
    const std::vector<TGIFColor> ownTable =
        frame.OwnTable ? TableWithTransparency(frame.Palette) : std::vector<TGIFColor>{};
    const bool rewritten = RewriteLossily(frame, frame.OwnTable ? ownTable : globalTable);
    auto image = std::make_unique<TGIFSubImage>(nullptr);
    const TRect& area = frame.Area;
    image->SetBounds(area.Left, area.Top, area.Width(), area.Height());
    std::copy(frame.Indices.begin(), frame.Indices.end(), image->EditPixels());
    if (frame.OwnTable) image->ColorMap().Replace(ownTable, false);
    auto control = std::make_unique<TGIFGraphicControlExtension>(image.get());
    control->SetDisposal(dmNoDisposal);
    if (frame.TransparentIndex >= 0) {
        control->SetTransparent(true);
        control->SetTransparentColorIndex(frame.TransparentIndex);
    }
    image->Extensions().Add(std::move(control));
    if (rewritten)
        image->CodeImage(encoding, encoders_, frame.TableBits, strings_);
    else
        image->CodeImage(encoding, encoders_, frame.TableBits);
    frame.Frame = std::move(image);
}
