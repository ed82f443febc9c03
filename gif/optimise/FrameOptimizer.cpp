#include "gif/optimise/FrameOptimizer.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "gif/model/ColorTableOptimizer.h"
#include "gif/model/GIFExtensions.h"
#include "gif/model/GIFImage.h"
#include "gif/optimise/CommonPalette.h"
#include "gif/paint/GIFComposer.h"

namespace {

constexpr int kPasses = 6;
constexpr int kMaxDelay = 0xFFFF;
const char* const kOptimizing = "Optimizing...";

TRect FrameRect(const TGIFSubImage& frame) {
    return {frame.Left(), frame.Top(), frame.Left() + frame.Width(), frame.Top() + frame.Height()};
}

bool Covers(const TRect& outer, const TRect& inner) { return IntersectRect(outer, inner) == inner; }

// A disposal that leaves the frame on screen (none, do not dispose, or an undefined value).
bool KeepsFrame(TDisposalMethod disposal) {
    return disposal != dmBackground && disposal != dmPrevious;
}

int Delay(const TGIFSubImage& frame) {
    const TGIFGraphicControlExtension* control = frame.GraphicControlExtension();
    return control ? control->Delay() : 0;
}

TGIFGraphicControlExtension& EnsureGraphicControl(TGIFSubImage& frame) {
    if (TGIFGraphicControlExtension* control = frame.GraphicControlExtension()) return *control;
    frame.Extensions().Add(std::make_unique<TGIFGraphicControlExtension>(&frame));
    return *frame.GraphicControlExtension();
}

bool UsesIndex(const TGIFSubImage& frame, int index) {
    const uint8_t* pixel = frame.PixelData();
    return std::find(pixel, pixel + frame.DataSize(), static_cast<uint8_t>(index)) !=
           pixel + frame.DataSize();
}

// The smallest rectangle (in frame coordinates) holding every pixel that is not transparent.
TRect VisibleArea(const TGIFSubImage& frame) {
    const uint8_t transparent = static_cast<uint8_t>(frame.TransparentColorIndex());
    TRect area{frame.Width(), frame.Height(), 0, 0};
    for (int y = 0; y < frame.Height(); ++y) {
        const uint8_t* row = frame.ScanLine(y);
        int first = 0;
        while (first < frame.Width() && row[first] == transparent) ++first;
        if (first == frame.Width()) continue;
        int last = frame.Width() - 1;
        while (row[last] == transparent) --last;
        area.Left = std::min(area.Left, first);
        area.Right = std::max(area.Right, last + 1);
        area.Top = std::min(area.Top, y);
        area.Bottom = y + 1;
    }
    return area.Empty() ? TRect{} : area;
}

bool IsDroppedExtension(const TGIFExtension& extension) {
    return dynamic_cast<const TGIFCommentExtension*>(&extension) ||
           dynamic_cast<const TGIFTextExtension*>(&extension) ||
           dynamic_cast<const TGIFUnknownAppExtension*>(&extension);
}

// A graphic control extension with no delay worth keeping, no transparency, no user input and
// no disposal that matters.
bool CarriesNothing(const TGIFGraphicControlExtension& control, bool singleFrame) {
    return (control.Delay() == 0 || singleFrame) && !control.Transparent() &&
           !control.UserInput() && (control.Disposal() < dmBackground || singleFrame);
}

class TFrameOptimizer {
public:
    TFrameOptimizer(TGIFImage& image, TGIFOptimizeOptions options)
        : image_(image),
          frames_(image.Images()),
          options_(options),
          frameCount_(image.Images().Count()) {}

    void Run(TPaletteReduction mode, int bits, TErrorDiffusion diffusion) {
        if (options_ & ooReduceColors)
            ReduceToCommonPalette(image_, mode, bits, diffusion, [this] { FrameDone(); });
        EndPass();
        if (options_ & ooColorMap) OptimizeColorMaps();
        EndPass();
        if (options_ & ooCleanup) SimplifyTransparencyAndDisposal();
        EndPass();
        if (options_ & ooMerge) MergeFrames();
        EndPass();
        if (options_ & ooCrop) CropFrames();
        EndPass();
        if (options_ & ooCleanup) RemoveSurplus();
        EndPass();
    }

private:
    void FrameDone() {
        ++done_;
        ReportProgress();
    }
    void EndPass() {
        ++pass_;
        done_ = pass_ * frameCount_;
    }
    void ReportProgress() {
        const int total = kPasses * frameCount_;
        const int done = std::min(done_, (pass_ + 1) * frameCount_);
        image_.Progress(psRunning, total > 0 ? done * 100 / total : 100, false, kOptimizing);
    }

    void OptimizeColorMaps() {
        if (image_.Header().ColorMap().Count() > 0) OptimizeGlobalColorMap(image_);
        for (int i = 0; i < frames_.Count(); ++i) {
            if (frames_[i].ColorMap().Count() > 0) OptimizeLocalColorMap(frames_[i]);
            FrameDone();
        }
    }

    // Transparency first: a frame that turns out opaque may hide the disposal before it. A
    // first frame that leaves part of the screen uncovered keeps its transparent index: viewers
    // show that part transparent then, and in the background colour without it.
    void SimplifyTransparencyAndDisposal() {
        const TRect screen{0, 0, image_.Width(), image_.Height()};
        bool first = true;
        for (int i = 0; i < frames_.Count(); ++i) {
            TGIFSubImage& frame = frames_[i];
            if (frame.Empty()) continue;
            const bool uncovers = first && !Covers(FrameRect(frame), screen);
            first = false;
            if (!uncovers && frame.Transparent() &&
                !UsesIndex(frame, frame.TransparentColorIndex()))
                DropTransparency(frame);
        }
        for (int i = 0; i < frames_.Count(); ++i) {
            if (i + 1 < frames_.Count()) SimplifyDisposal(frames_[i], frames_[i + 1]);
            FrameDone();
        }
    }

    static void DropTransparency(TGIFSubImage& frame) {
        while (TGIFGraphicControlExtension* control = frame.TransparentControl())
            control->SetTransparent(false);
    }

    // A frame whose disposal the next frame hides completely (the next one is opaque, covers it
    // and does not restore what was before it) keeps its pixels instead.
    static void SimplifyDisposal(TGIFSubImage& first, const TGIFSubImage& next) {
        if (first.Empty() || next.Empty() || KeepsFrame(FrameDisposal(first))) return;
        if (next.Transparent() || FrameDisposal(next) == dmPrevious) return;
        if (!Covers(FrameRect(next), FrameRect(first))) return;
        first.GraphicControlExtension()->SetDisposal(dmNone);
    }

    // Compares each frame with the picture the frames before it leave on screen; merging never
    // changes a picture, so the frames are taken in order on one running composition.
    void MergeFrames() {
        TGIFComposer screen(image_.Width(), image_.Height());
        for (int i = 0; i < frames_.Count(); ++i) {
            TGIFSubImage& frame = frames_[i];
            // What the frame's transparent pixels would show: the screen once the frame
            // before has been disposed of.
            screen.Dispose();
            if (i > 0 && !frame.Empty()) MergeWithScreen(frame, screen);
            screen.Draw(frame);
            FrameDone();
        }
    }

    void MergeWithScreen(TGIFSubImage& frame, const TGIFComposer& screen) {
        const std::array<uint32_t, 256> colors = FrameColors(frame);
        const int transparent = frame.TransparentColorIndex();
        const int width = frame.Width();
        const int visibleWidth = std::clamp(screen.Width() - frame.Left(), 0, width);
        const int visibleHeight = std::clamp(screen.Height() - frame.Top(), 0, frame.Height());
        std::vector<bool> repeated(frame.DataSize(), false);
        std::array<bool, 256> shown{};
        bool anyRepeated = false;
        for (int y = 0; y < frame.Height(); ++y) {
            const uint8_t* in = frame.ScanLine(y);
            const uint32_t* onScreen =
                y < visibleHeight ? screen.Row(frame.Top() + y) + frame.Left() : nullptr;
            for (int x = 0; x < width; ++x) {
                if (in[x] == transparent) continue;
                if (onScreen && x < visibleWidth && onScreen[x] == colors[in[x]]) {
                    repeated[static_cast<size_t>(y) * width + x] = true;
                    anyRepeated = true;
                } else {
                    shown[in[x]] = true;
                }
            }
        }
        if (!anyRepeated) return;
        const int index = transparent >= 0 ? transparent : ChooseTransparentIndex(frame, shown);
        if (index < 0) return;
        uint8_t* pixels = frame.EditPixels();
        for (size_t i = 0; i < repeated.size(); ++i)
            if (repeated[i]) pixels[i] = static_cast<uint8_t>(index);
        if (transparent < 0) {
            TGIFGraphicControlExtension& control = EnsureGraphicControl(frame);
            control.SetTransparentColorIndex(index);
            control.SetTransparent(true);
        }
    }

    // An index for the transparent pixels of an opaque frame that none of its shown pixels use:
    // for a frame on the global table another frame's transparent index there, else a new
    // black entry, else (a full table) an entry the frame no longer shows; -1 when there is
    // none.
    int ChooseTransparentIndex(TGIFSubImage& frame, const std::array<bool, 256>& shown) {
        TGIFColorMap& table = frame.ActiveColorMap();
        if (&table != &frame.ColorMap()) {
            for (int i = 0; i < frames_.Count(); ++i) {
                const TGIFSubImage& other = frames_[i];
                const int index = other.TransparentColorIndex();
                if (&other != &frame && other.ColorMap().Count() == 0 && index >= 0 &&
                    !shown[static_cast<size_t>(index)])
                    return index;
            }
        }
        // Pixels past the table's end still show (its first colour): the new entry's index
        // must not be one of them.
        if (table.Count() < TGIFColorMap::MaxColors && !shown[static_cast<size_t>(table.Count())])
            return table.Add({0, 0, 0});
        for (int i = 0; i < table.Count(); ++i)
            if (!shown[static_cast<size_t>(i)]) return i;
        return -1;
    }

    // A frame with disposal "restore background" is left whole: its rectangle is what the
    // disposal clears.
    void CropFrames() {
        for (int i = 0; i < frames_.Count();) {
            TGIFSubImage& frame = frames_[i];
            if (frame.Empty() || !frame.Transparent() || FrameDisposal(frame) == dmBackground) {
                ++i;
                FrameDone();
                continue;
            }
            TRect visible = VisibleArea(frame);
            if (visible.Empty()) {
                if (CanTakeDelayOf(i)) {
                    AddDelay(frames_[i - 1], Delay(frame));
                    frames_.Delete(i);
                    FrameDone();
                    continue;
                }
                // Kept for its time on screen: one transparent pixel.
                visible = {0, 0, 1, 1};
            }
            if (!(visible == TRect{0, 0, frame.Width(), frame.Height()})) frame.Crop(visible);
            ++i;
            FrameDone();
        }
    }

    // The frame before an invisible frame can show on for its time only when it stays on
    // screen itself.
    bool CanTakeDelayOf(int index) const {
        if (index == 0) return false;
        const TGIFSubImage& previous = frames_[index - 1];
        return !previous.Empty() && KeepsFrame(FrameDisposal(previous));
    }

    static void AddDelay(TGIFSubImage& frame, int delay) {
        if (delay == 0) return;
        TGIFGraphicControlExtension& control = EnsureGraphicControl(frame);
        control.SetDelay(std::min(kMaxDelay, control.Delay() + delay));
    }

    void RemoveSurplus() {
        const bool singleFrame = frames_.Count() == 1;
        bool loopKept = false;
        for (int i = 0; i < frames_.Count(); ++i) {
            TGIFExtensionList& extensions = frames_[i].Extensions();
            for (int j = 0; j < extensions.Count();) {
                const TGIFExtension& extension = extensions[j];
                bool drop = IsDroppedExtension(extension);
                if (dynamic_cast<const TGIFAppExtNSLoop*>(&extension)) {
                    drop = i != 0 || singleFrame || loopKept;
                    loopKept = loopKept || !drop;
                }
                if (auto* control = dynamic_cast<const TGIFGraphicControlExtension*>(&extension))
                    drop = CarriesNothing(*control, singleFrame);
                if (drop)
                    extensions.Delete(j);
                else
                    ++j;
            }
            FrameDone();
        }
        for (int i = frames_.Count() - 1; i >= 0; --i)
            if (frames_[i].Empty() && frames_[i].Extensions().Count() == 0) frames_.Delete(i);
    }

    TGIFImage& image_;
    TGIFImageList& frames_;
    const TGIFOptimizeOptions options_;
    const int frameCount_;
    int pass_ = 0;
    int done_ = 0;
};

}  // namespace

void RunFrameOptimizer(TGIFImage& image, TGIFOptimizeOptions options, TPaletteReduction mode,
                       int bits, TErrorDiffusion diffusion) {
    image.Progress(psStarting, 0, false, kOptimizing);
    try {
        TFrameOptimizer(image, options).Run(mode, bits, diffusion);
    } catch (...) {
        image.Progress(psEnding, 0, true, kOptimizing);
        throw;
    }
    image.Progress(psEnding, 100, true, kOptimizing);
}
