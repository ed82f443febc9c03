#pragma once
// Small animations built by hand, and the pictures a viewer shows of an animation, worked out
// pixel by pixel here independently of the library's own composition.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gif/model/GIFExtensions.h"
#include "gif/model/GIFImage.h"
#include "tests/common/TestSupport.h"

namespace animation {

// A pixel no frame shows.
constexpr uint32_t kUncovered = 0xFF000000;

struct TFrameSpec {
    TFrameSpec(int left, int top, int width, int height, std::vector<uint8_t> pixels,
               int delay = -1, TDisposalMethod disposal = dmNone, int transparent = -1,
               std::vector<TGIFColor> localColors = {})
        : left(left),
          top(top),
          width(width),
          height(height),
          pixels(std::move(pixels)),
          delay(delay),
          disposal(disposal),
          transparent(transparent),
          localColors(std::move(localColors)) {}

    int left;
    int top;
    int width;
    int height;
    std::vector<uint8_t> pixels;  // width x height indices
    int delay;                    // -1: no graphic control extension
    TDisposalMethod disposal;
    int transparent;
    std::vector<TGIFColor> localColors;  // empty: the frame uses the global table
};

// Appends the frame the description gives: bounds, pixels, colours and control extension.
inline TGIFSubImage& AddFrame(TGIFImage& document, const TFrameSpec& frameSpec) {
    auto frame = std::make_unique<TGIFSubImage>(&document);
    frame->SetBounds(frameSpec.left, frameSpec.top, frameSpec.width, frameSpec.height);
    std::copy(frameSpec.pixels.begin(), frameSpec.pixels.end(), frame->EditPixels());
    for (const TGIFColor& color : frameSpec.localColors) frame->ColorMap().Add(color);
    if (frameSpec.delay >= 0 || frameSpec.transparent >= 0 || frameSpec.disposal != dmNone) {
        auto control = std::make_unique<TGIFGraphicControlExtension>(frame.get());
        control->SetDelay(std::max(frameSpec.delay, 0));
        control->SetDisposal(frameSpec.disposal);
        if (frameSpec.transparent >= 0) {
            control->SetTransparent(true);
            control->SetTransparentColorIndex(frameSpec.transparent);
        }
        frame->Extensions().Add(std::move(control));
    }
    TGIFSubImage& added = *frame;
    document.Add(std::move(frame));
    return added;
}

inline void SetGlobalColors(TGIFImage& document, const std::vector<TGIFColor>& colors) {
    for (const TGIFColor& color : colors) document.Header().ColorMap().Add(color);
}

using TPicture = std::vector<uint32_t>;  // 0x00RRGGBB or kUncovered, rows back to back

// What a viewer shows after each frame with an image, and how long (delay units).
struct TShownPictures {
    std::vector<TPicture> pictures;
    std::vector<int> delays;

    int Duration() const {
        int total = 0;
        for (int delay : delays) total += delay;
        return total;
    }
    // The picture on screen at `time` (delay units from the start).
    const TPicture& At(int time) const {
        for (size_t i = 0; i < pictures.size(); ++i) {
            if (time < delays[i]) return pictures[i];
            time -= delays[i];
        }
        return pictures.back();
    }
};

inline TShownPictures ShownPictures(TGIFImage& document) {
    const int width = document.Width();
    const int height = document.Height();
    TShownPictures shown;
    TPicture screen(static_cast<size_t>(width) * height, kUncovered);
    for (int i = 0; i < document.Images().Count(); ++i) {
        TGIFSubImage& frame = document.Images()[i];
        if (frame.Empty()) continue;
        const TGIFGraphicControlExtension* control = frame.GraphicControlExtension();
        const TDisposalMethod disposal = control ? control->Disposal() : dmNone;
        const TPicture before = screen;
        for (int y = 0; y < frame.Height(); ++y)
            for (int x = 0; x < frame.Width(); ++x) {
                const int index = frame.Pixels(x, y);
                if (index == frame.TransparentColorIndex()) continue;
                const TGIFColor color = frame.ActiveColorMap().Colors(index);
                screen[static_cast<size_t>(frame.Top() + y) * width + frame.Left() + x] =
                    (color.Red << 16) | (color.Green << 8) | color.Blue;
            }
        shown.pictures.push_back(screen);
        shown.delays.push_back(control ? control->Delay() : 0);
        for (int y = 0; y < frame.Height(); ++y)
            for (int x = 0; x < frame.Width(); ++x) {
                const size_t at = static_cast<size_t>(frame.Top() + y) * width + frame.Left() + x;
                if (disposal == dmBackground) screen[at] = kUncovered;
                if (disposal == dmPrevious) screen[at] = before[at];
            }
    }
    return shown;
}

// Every frame of a GIF file as ffmpeg's decoder composes it, as pictures like the above.
inline std::vector<TPicture> FfmpegPictures(const testsupport::TempDir& dir, const std::string& gif,
                                            int width, int height) {
    const std::string raw = dir.File("ffmpeg.rgb");
    const auto decoded = testsupport::Run(
        "ffmpeg -nostdin -y -v error -i " + testsupport::ShellQuote(gif) +
        " -fps_mode passthrough -f rawvideo -pix_fmt rgb24 " + testsupport::ShellQuote(raw));
    EXPECT_EQ(decoded.exitCode, 0) << decoded.output;
    const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(raw);
    const size_t frameBytes = static_cast<size_t>(width) * height * 3;
    std::vector<TPicture> pictures;
    for (size_t at = 0; frameBytes > 0 && at + frameBytes <= bytes.size(); at += frameBytes) {
        TPicture picture(static_cast<size_t>(width) * height);
        for (size_t i = 0; i < picture.size(); ++i)
            picture[i] =
                (bytes[at + 3 * i] << 16) | (bytes[at + 3 * i + 1] << 8) | bytes[at + 3 * i + 2];
        pictures.push_back(std::move(picture));
    }
    return pictures;
}

}  // namespace animation
