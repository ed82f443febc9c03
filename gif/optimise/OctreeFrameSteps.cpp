#include "gif/optimise/OctreeFrameSteps.h"

#include <algorithm>

#include "gif/codec/GIFEncoderCache.h"
#include "gif/model/ColorTableOptimizer.h"
#include "gif/model/GIFColorMap.h"
#include "gif/model/GIFExtensions.h"

namespace {

struct TOctreeThread final : TFrameStepsThread {
    TGIFEncoderCache Encoders;
};

// What writing a coded frame costs, beyond what both candidates share.
size_t WrittenSize(const TGIFSubImage& frame) {
    const int tableBits = frame.ColorMap().BitsPerPixel();
    const size_t table = frame.ColorMap().Count() > 0 ? (size_t{3} << tableBits) : 0;
    return frame.CodedSize() + table + (frame.GraphicControlExtension() ? 8 : 0);
}

}  // namespace

TOctreeFrameSteps::TOctreeFrameSteps(TGIFEncoding encoding, bool optimize)
    : encoding_(encoding), optimize_(optimize) {}

std::unique_ptr<TFrameStepsThread> TOctreeFrameSteps::NewThread() const {
    return std::make_unique<TOctreeThread>();
}

void TOctreeFrameSteps::Quantize(TStepFrame& frame, TFrameStepsThread&) const {
    frame.Unoptimized.reset();
    frame.BeginsGlobalTable = false;
    frame.Frame = std::make_unique<TGIFSubImage>(nullptr);
    frame.Frame->ImportBitmap(frame.Picture, frame.Import);
}

void TOctreeFrameSteps::Remap(TStepFrame& frame) {
    if (!optimize_) return;
    TGIFSubImage& image = *frame.Frame;
    OptimizeLocalColorMap(image);
    if (!screen_ || screen_->Width() != image.Width() || screen_->Height() != image.Height()) {
        // The first frame, or one of another size: it covers the screen whole.
        screen_ = std::make_unique<TGIFComposer>(image.Width(), image.Height());
        screen_->Draw(image);
        return;
    }
    frame.Unoptimized = std::make_unique<TGIFSubImage>(nullptr);
    frame.Unoptimized->Assign(image);
    if (!MergeWithScreen(image)) {
        frame.Unoptimized.reset();
        screen_->Draw(image);
        return;
    }
    if (image.Empty()) {
        frame.Frame.reset();
        frame.Unoptimized.reset();
        return;
    }
    screen_->Draw(image);
}

bool TOctreeFrameSteps::MergeWithScreen(TGIFSubImage& frame) {
    TGIFColorMap& table = frame.ColorMap();
    if (table.Count() >= TGIFColorMap::MaxColors) return false;
    const std::array<uint32_t, 256> colors = FrameColors(frame);
    const int transparent = table.Count();
    TRect kept{frame.Width(), frame.Height(), 0, 0};
    for (int y = 0; y < frame.Height(); ++y) {
        const uint32_t* shown = screen_->Row(y);
        uint8_t* row = frame.EditScanLine(y);
        for (int x = 0; x < frame.Width(); ++x) {
            if (colors[row[x]] == shown[x]) {
                row[x] = static_cast<uint8_t>(transparent);
                continue;
            }
            kept.Left = std::min(kept.Left, x);
            kept.Right = std::max(kept.Right, x + 1);
            kept.Top = std::min(kept.Top, y);
            kept.Bottom = y + 1;
        }
    }
    if (kept.Empty()) {
        frame.SetBounds(0, 0, 0, 0);
        return true;
    }
    table.Add({0, 0, 0});
    frame.Crop(kept);
    auto control = std::make_unique<TGIFGraphicControlExtension>(&frame);
    control->SetTransparent(true);
    control->SetTransparentColorIndex(transparent);
    frame.Extensions().Add(std::move(control));
    return true;
}

void TOctreeFrameSteps::Compress(TStepFrame& frame, TFrameStepsThread& thread) const {
    if (!frame.Frame) return;
    TGIFEncoderCache& encoders = static_cast<TOctreeThread&>(thread).Encoders;
    frame.Frame->CodeImage(encoding_, encoders);
    if (!frame.Unoptimized) return;
    frame.Unoptimized->CodeImage(encoding_, encoders);
    if (WrittenSize(*frame.Unoptimized) <= WrittenSize(*frame.Frame))
        frame.Frame = std::move(frame.Unoptimized);
    frame.Unoptimized.reset();
}
