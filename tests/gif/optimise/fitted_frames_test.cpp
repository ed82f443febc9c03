// The fitted colour road: frames written one at a time show, once composed by an independent
// reading, exactly what the remap drew; what stands still is never stored again; the pictures
// stay within the quality's tolerance; lower quality stores fewer bytes; a frame with few changes
// spends its palette on the colours the global table lacks, whichever thread fits it first.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "gif/colour/ColorDistance.h"
#include "gif/model/GIFImage.h"
#include "gif/model/GIFStreamWriter.h"
#include "gif/optimise/FittedFrameSteps.h"
#include "gif/optimise/ScreenRemapper.h"
#include "platform/Stream.h"
#include "tests/gif/AnimationTestSupport.h"

using namespace animation;

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;
constexpr int kBox = 10;

// A still, smooth background with a little texture, and a box that moves 3 pixels a frame.
TBitmap Picture(int n) {
    TBitmap picture(kWidth, kHeight, pf24bit);
    const int boxLeft = 4 + 3 * n, boxTop = 12 + n;
    for (int y = 0; y < kHeight; ++y) {
        uint8_t* row = picture.ScanLine(y);
        for (int x = 0; x < kWidth; ++x) {
            const bool inBox =
                x >= boxLeft && x < boxLeft + kBox && y >= boxTop && y < boxTop + kBox;
            row[3 * x] = inBox ? 40 : static_cast<uint8_t>(60 + 2 * y);                // blue
            row[3 * x + 1] = inBox ? 50 : static_cast<uint8_t>(90 + x + (x * y) % 7);  // green
            row[3 * x + 2] = inBox ? 230 : static_cast<uint8_t>(150 + y);              // red
        }
    }
    return picture;
}

TRect BoxOf(int n) { return {4 + 3 * n, 12 + n, 4 + 3 * n + kBox, 12 + n + kBox}; }

struct TWritten {
    std::vector<uint8_t> Bytes;
    std::vector<std::vector<uint8_t>> Screens;  // what the remap drew after each frame
    std::vector<TRect> Areas;                   // each frame's rectangle (empty: dropped)
};

// The pictures through the steps one after another, written as the frame sink writes them.
TWritten Convert(const std::vector<TBitmap>& pictures, const TColorQuality& quality) {
    TFittedFrameSteps steps(quality, geLZW);
    std::unique_ptr<TFrameStepsThread> thread = steps.NewThread();
    TGIFImage document;
    TMemoryStream stream;
    TGIFStreamWriter writer(document, stream);
    TWritten written;
    TStepFrame frame;
    for (size_t n = 0; n < pictures.size(); ++n) {
        frame.Previous = frame.Picture;
        frame.Picture = pictures[n];
        if (n == 0) frame.Previous.SetSize(0, 0);
        steps.Quantize(frame, *thread);
        steps.Remap(frame);
        steps.Compress(frame, *thread);
        written.Screens.push_back(steps.Screen());
        written.Areas.push_back(frame.Area);
        if (frame.BeginsGlobalTable)
            document.Header().ColorMap().Replace(steps.GlobalTable(), false);
        if (!frame.Frame) continue;
        TGIFGraphicControlExtension* control = frame.Frame->GraphicControlExtension();
        control->SetDelay(4);
        const int index = document.AddImported(std::move(frame.Frame));
        writer.Write(document.Images()[index]);
        document.Images().Delete(index);
    }
    writer.Finish();
    written.Bytes = stream.Data();
    return written;
}

TWritten Convert(int frames, const TColorQuality& quality) {
    std::vector<TBitmap> pictures;
    for (int n = 0; n < frames; ++n) pictures.push_back(Picture(n));
    return Convert(pictures, quality);
}

// The screen as 0x00RRGGBB words, as TShownPictures holds it.
TPicture Words(const std::vector<uint8_t>& screen) {
    TPicture words(screen.size() / 3);
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = (static_cast<uint32_t>(screen[3 * i]) << 16) |
                   (static_cast<uint32_t>(screen[3 * i + 1]) << 8) | screen[3 * i + 2];
    return words;
}

double PsnrOf(const TPicture& shown, const TBitmap& picture) {
    double error = 0;
    for (int y = 0; y < kHeight; ++y) {
        const uint8_t* row = picture.ScanLine(y);
        for (int x = 0; x < kWidth; ++x) {
            const uint32_t p = shown[static_cast<size_t>(y) * kWidth + x];
            const int d[3] = {static_cast<int>(p >> 16) - row[3 * x + 2],
                              static_cast<int>((p >> 8) & 0xFF) - row[3 * x + 1],
                              static_cast<int>(p & 0xFF) - row[3 * x]};
            for (int c : d) error += c * c;
        }
    }
    const double mse = error / (3.0 * kWidth * kHeight);
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

TShownPictures Reread(const std::vector<uint8_t>& bytes) {
    TGIFImage document;
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), bytes.size());
    stream.SetPosition(0);
    document.LoadFromStream(stream);
    return ShownPictures(document);
}

TEST(FittedFrames, ComposedPicturesAreWhatTheRemapDrewAndFollowThePictures) {
    TColorQuality quality = ColorQualityFor(90);
    quality.LossyDistance = 0;  // every drawn pixel as the remap chose it
    const TWritten written = Convert(8, quality);
    const TShownPictures shown = Reread(written.Bytes);
    // One picture a frame that was written; dropped frames show the one before.
    size_t picture = 0;
    for (size_t n = 0; n < written.Screens.size(); ++n) {
        if (n > 0 && !written.Areas[n].Empty()) ++picture;
        ASSERT_LT(picture, shown.pictures.size());
        EXPECT_TRUE(shown.pictures[picture] == Words(written.Screens[n])) << "frame " << n;
        EXPECT_GT(PsnrOf(shown.pictures[picture], Picture(static_cast<int>(n))), 36) << n;
    }
    EXPECT_EQ(picture + 1, shown.pictures.size());
}

TEST(FittedFrames, WhatStandsStillIsNotStoredAgain) {
    const TWritten written = Convert(8, ColorQualityFor(90));
    ASSERT_FALSE(written.Areas[0].Empty());
    EXPECT_EQ(written.Areas[0], (TRect{0, 0, kWidth, kHeight}));
    for (size_t n = 1; n < written.Areas.size(); ++n) {
        // Only where the box was or is now.
        const TRect before = BoxOf(static_cast<int>(n) - 1), now = BoxOf(static_cast<int>(n));
        const TRect area = written.Areas[n];
        EXPECT_GE(area.Left, std::min(before.Left, now.Left)) << n;
        EXPECT_GE(area.Top, std::min(before.Top, now.Top)) << n;
        EXPECT_LE(area.Right, std::max(before.Right, now.Right)) << n;
        EXPECT_LE(area.Bottom, std::max(before.Bottom, now.Bottom)) << n;
    }
    // The first frame, whose background stays on screen, and the frames with few changes (a
    // moving box), whose pixels stay while the rest stands still, are coded exactly, lossy
    // coding or not.
    const TShownPictures shown = Reread(written.Bytes);
    size_t picture = 0;
    for (size_t n = 0; n < written.Screens.size(); ++n) {
        if (n > 0 && !written.Areas[n].Empty()) ++picture;
        ASSERT_LT(picture, shown.pictures.size());
        EXPECT_TRUE(shown.pictures[picture] == Words(written.Screens[n])) << "frame " << n;
    }
    EXPECT_GT(PsnrOf(shown.pictures.back(), Picture(7)), 33);
}

// Stretches of a row that stand still, or move by less than the keep distance, are passed over
// whole when the changes are looked for: a lone pixel that moved inside such a stretch is still
// drawn, and rows moved by the most levels the keep distance allows (in every channel, in green,
// in blue, which counts least) are not.
TEST(FittedFrames, ALonePixelThatMovedAmongStillOnesIsDrawn) {
    const TColorQuality quality = ColorQualityFor(90);
    int within = 0;  // the most levels every channel may move with the pixel kept
    while (ColorDistance(within + 1, within + 1, within + 1) <= quality.KeepDistance) ++within;
    ASSERT_GT(within, 0);
    const TBitmap first = Picture(0);
    TBitmap second = first;
    uint8_t* lone = second.ScanLine(10) + 3 * 21;  // inside the stretch of columns 16 to 31
    for (int c = 0; c < 3; ++c) lone[c] = static_cast<uint8_t>(lone[c] > 128 ? 10 : 245);
    uint8_t* row = second.ScanLine(30);
    for (int i = 0; i < 3 * kWidth; ++i) row[i] = static_cast<uint8_t>(row[i] + within);
    // One channel a level farther than that still lies within the keep distance.
    row = second.ScanLine(31);
    for (int x = 0; x < kWidth; ++x)
        row[3 * x + 1] = static_cast<uint8_t>(row[3 * x + 1] + within + 1);
    ASSERT_LE(ColorDistance(0, within + 1, 0), quality.KeepDistance);
    // Blue counts least: blue alone may move by levels that red alone may not.
    int blue = 0;
    while (ColorDistance(0, 0, blue + 1) <= quality.KeepDistance) ++blue;
    ASSERT_GT(ColorDistance(blue, 0, 0), quality.KeepDistance);
    row = second.ScanLine(32);
    for (int x = 0; x < kWidth; ++x) row[3 * x] = static_cast<uint8_t>(row[3 * x] + blue);

    const TWritten written = Convert({first, second}, quality);
    ASSERT_EQ(written.Areas.size(), 2u);
    EXPECT_EQ(written.Areas[1], (TRect{21, 10, 22, 11}));
    const size_t at = 3 * (static_cast<size_t>(10) * kWidth + 21);
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(written.Screens[1][at + c], lone[2 - c], 8) << c;  // the screen is red first
}

// A frame is cropped to the rectangle of its drawn pixels, looked for from both ends of each
// row and a stretch at a time: drawn pixels at a row's first or last column, at either side of
// a stretch's boundary, in rows narrower than a stretch, or nowhere at all. The rows that stay
// keep their indices, candidates and shown colours, and transparency is marked only when some
// pixel of the cropped frame stays transparent.
TEST(FittedFrames, AFrameIsCroppedToExactlyItsDrawnPixels) {
    constexpr uint8_t kTransparent = 7;
    std::mt19937 random(5);
    for (int round = 0; round < 400; ++round) {
        const int width = 1 + static_cast<int>(random() % 50);
        const int height = 1 + static_cast<int>(random() % 4);
        const TRect area{3, 2, 3 + width, 2 + height};
        TStepFrame frame;
        frame.Area = area;
        frame.TransparencySlot = kTransparent;
        const size_t pixels = static_cast<size_t>(width) * height;
        frame.Indices.assign(pixels, kTransparent);
        frame.Candidates.resize(pixels);
        frame.Shown.resize(3 * pixels);
        // Few drawn pixels, many, or every one; some at the places the stretches meet.
        const unsigned density = random() % 3;
        for (size_t i = 0; i < pixels; ++i) {
            const int x = static_cast<int>(i % width);
            const bool edge = x == 0 || x == width - 1 || x % 16 == 15 || x % 16 == 0;
            const unsigned odds = density == 0 ? 97 : density == 1 ? 5 : 1;
            if (random() % odds == 0 || (edge && random() % 11 == 0))
                frame.Indices[i] = static_cast<uint8_t>(random() % 7);
            frame.Candidates[i] = static_cast<uint32_t>(i);
            for (int c = 0; c < 3; ++c) frame.Shown[3 * i + c] = static_cast<uint8_t>(i + c);
        }
        const std::vector<uint8_t> indices = frame.Indices, shown = frame.Shown;
        const std::vector<uint32_t> candidates = frame.Candidates;
        TRect drawn{area.Right, area.Bottom, area.Left, area.Top};
        for (size_t i = 0; i < pixels; ++i) {
            if (indices[i] == kTransparent) continue;
            const int x = area.Left + static_cast<int>(i % width);
            const int y = area.Top + static_cast<int>(i / width);
            drawn = {std::min(drawn.Left, x), std::min(drawn.Top, y), std::max(drawn.Right, x + 1),
                     std::max(drawn.Bottom, y + 1)};
        }

        CropToDrawn(frame);
        if (drawn.Empty()) {
            EXPECT_TRUE(frame.Area.Empty()) << round;
            continue;
        }
        ASSERT_EQ(frame.Area, drawn) << round;
        ASSERT_EQ(frame.Indices.size(), static_cast<size_t>(drawn.Width()) * drawn.Height());
        bool transparentLeft = false;
        for (int y = drawn.Top; y < drawn.Bottom; ++y)
            for (int x = drawn.Left; x < drawn.Right; ++x) {
                const size_t from = static_cast<size_t>(y - area.Top) * width + (x - area.Left);
                const size_t to =
                    static_cast<size_t>(y - drawn.Top) * drawn.Width() + (x - drawn.Left);
                ASSERT_EQ(frame.Indices[to], indices[from]) << round;
                ASSERT_EQ(frame.Candidates[to], candidates[from]) << round;
                ASSERT_EQ(frame.Shown[3 * to + 2], shown[3 * from + 2]) << round;
                transparentLeft |= indices[from] == kTransparent;
            }
        EXPECT_EQ(frame.TransparentIndex, transparentLeft ? kTransparent : -1) << round;
    }
}

TEST(FittedFrames, LowerQualityStoresFewerBytes) {
    // A noisy picture that drifts: every frame changes a little everywhere.
    const auto convert = [](int q) {
        TFittedFrameSteps steps(ColorQualityFor(q), geLZW);
        auto thread = steps.NewThread();
        TStepFrame frame;
        std::mt19937 rng(5);
        size_t bytes = 0;
        for (int n = 0; n < 6; ++n) {
            frame.Previous = frame.Picture;
            if (n == 0) frame.Previous.SetSize(0, 0);
            frame.Picture = Picture(0);
            for (int y = 0; y < kHeight; ++y)
                for (int i = 0; i < kWidth * 3; ++i) {
                    uint8_t& v = frame.Picture.ScanLine(y)[i];
                    v = static_cast<uint8_t>(
                        std::clamp<int>(v + static_cast<int>(rng() % 7) - 3 + n, 0, 255));
                }
            steps.Quantize(frame, *thread);
            steps.Remap(frame);
            steps.Compress(frame, *thread);
            if (frame.Frame) bytes += frame.Frame->CodedSize();
        }
        return bytes;
    };
    const size_t best = convert(100), usual = convert(90), small = convert(40);
    EXPECT_LT(usual, best);
    EXPECT_LT(small, usual);
}

// A hue wheel, each pixel its own colour, of saturation `radius` (levels), into a kPatch square.
constexpr int kPatch = 14;
void PaintWheel(TBitmap& picture, int left, int top, double radius) {
    for (int y = 0; y < kPatch; ++y) {
        uint8_t* row = picture.ScanLine(top + y) + 3 * left;
        for (int x = 0; x < kPatch; ++x, row += 3) {
            const double hue = 6.2832 * (y * kPatch + x) / (kPatch * kPatch);
            row[0] = static_cast<uint8_t>(128 + radius * std::cos(hue + 4.19));
            row[1] = static_cast<uint8_t>(128 + radius * std::cos(hue + 2.09));
            row[2] = static_cast<uint8_t>(128 + radius * std::cos(hue));
        }
    }
}

// A patch of colours the first picture lacks comes in the second picture, over a wheel of
// paler colours, and moves by its own width in the third: the third frame changes few pixels,
// half of them the wheel it uncovers, whose colours the global table has.
TBitmap PatchPicture(int n) {
    TBitmap picture = Picture(0);
    PaintWheel(picture, 4, 4, 50);
    if (n > 0) PaintWheel(picture, 4 + kPatch * (n - 1), 4, 120);
    return picture;
}

// The third frame's patch as shown, against its picture: PSNR.
double PatchPsnr(const TColorQuality& quality) {
    TFittedFrameSteps steps(quality, geLZW);
    auto thread = steps.NewThread();
    TStepFrame frame;
    for (int n = 0; n < 3; ++n) {
        frame.Previous = frame.Picture;
        if (n == 0) frame.Previous.SetSize(0, 0);
        frame.Picture = PatchPicture(n);
        steps.Quantize(frame, *thread);
        steps.Remap(frame);
    }
    const std::vector<uint8_t>& screen = steps.Screen();
    double error = 0;
    for (int y = 4; y < 4 + kPatch; ++y)
        for (int x = 4 + kPatch; x < 4 + 2 * kPatch; ++x)
            for (int c = 0; c < 3; ++c) {
                const int shown = screen[3 * (static_cast<size_t>(y) * kWidth + x) + c];
                const int wanted = frame.Picture.ScanLine(y)[3 * x + 2 - c];
                error += (shown - wanted) * (shown - wanted);
            }
    return 10 * std::log10(255.0 * 255.0 * 3 * kPatch * kPatch / std::max(error, 1.0));
}

TEST(FittedFrames, FewChangesSpendThePaletteOnColoursTheGlobalTableLacks) {
    TColorQuality quality = ColorQualityFor(90);
    quality.FewChangesShare = 5;    // the patch and the background it uncovers count as few
    quality.FewChangesColors = 96;  // fewer entries than the changed pixels have colours
    TColorQuality everyChange = quality;
    everyChange.NewColorDistance = -1;  // the palette fitted to every changed pixel
    const double fitted = PatchPsnr(quality), plain = PatchPsnr(everyChange);
    EXPECT_GT(fitted, plain + 1.5) << fitted << " against " << plain;
}

// Frames may be fitted on several threads in any order: a frame with few changes that starts
// before the first frame's palette is ready waits for it and gets the palette it gets in turn.
TEST(FittedFrames, FewChangesFittedBeforeTheFirstPaletteWaitForIt) {
    const TColorQuality quality = ColorQualityFor(90);
    const auto second = [] {
        TStepFrame frame;
        frame.Previous = Picture(0);
        frame.Picture = Picture(1);
        return frame;
    };
    TFittedFrameSteps inTurn(quality, geLZW);
    auto thread = inTurn.NewThread();
    TStepFrame first, expected = second();
    first.Picture = Picture(0);
    inTurn.Quantize(first, *thread);
    inTurn.Quantize(expected, *thread);
    ASSERT_TRUE(expected.FewChanges);

    TFittedFrameSteps early(quality, geLZW);
    auto laterThread = early.NewThread(), firstThread = early.NewThread();
    TStepFrame later = second(), firstAgain;
    std::thread fitLater([&] { early.Quantize(later, *laterThread); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    firstAgain.Picture = Picture(0);
    early.Quantize(firstAgain, *firstThread);
    fitLater.join();
    EXPECT_TRUE(later.FewChanges);
    EXPECT_TRUE(later.Palette == expected.Palette);
}

}  // namespace
