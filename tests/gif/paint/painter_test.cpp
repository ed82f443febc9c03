// Animation painters on a small canvas: frame order, delays, loop count, disposal, stopping.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>

#include "gif/model/GIFImage.h"
#include "gif/paint/GIFPainter.h"
#include "platform/Canvas.h"
#include "platform/MainThread.h"
#include "platform/PaintTimer.h"
#include "tests/gif/AnimationTestSupport.h"
#include "tests/gif/DocumentTestSupport.h"

using namespace animation;

namespace {

constexpr uint16_t kAnimate = poAnimate | poLoop;
const std::vector<TGIFColor> kColors = {
    {0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
constexpr TColor kRed = RGBColor(255, 0, 0);
constexpr TColor kGreen = RGBColor(0, 255, 0);
constexpr TColor kBlue = RGBColor(0, 0, 255);

// Simulated time: waits return at once, move the clock on and are recorded.
class TRecordingTimer : public TPaintTimer {
public:
    int64_t Milliseconds() override { return now_; }
    void Wait(int milliseconds, TEvent&, bool) override {
        std::lock_guard<std::mutex> guard(lock_);
        waits_.push_back(milliseconds);
        if (milliseconds > 0) now_ += milliseconds;
    }
    void Advance(int milliseconds) { now_ += milliseconds; }
    std::vector<int> Waits() {
        std::lock_guard<std::mutex> guard(lock_);
        return waits_;
    }

private:
    std::atomic<int64_t> now_{1000};
    std::mutex lock_;
    std::vector<int> waits_;
};

// What the painter reported, and the canvas after each frame.
struct TPaintLog {
    std::vector<std::string> events;
    std::vector<TBitmap> canvases;
    std::atomic<int> paints{0};
    std::atomic<bool> ended{false};
};

void Record(TGIFImage& document, TPaintLog& log, TBitmap& target) {
    document.OnStartPaint = [&log](TGIFPainter&) { log.events.push_back("start"); };
    document.OnPaint = [&log](TGIFPainter& painter) {
        log.events.push_back("paint " + std::to_string(painter.ActiveImage()));
    };
    document.OnAfterPaint = [&log, &target](TGIFPainter& painter) {
        log.events.push_back("after " + std::to_string(painter.ActiveImage()));
        log.canvases.push_back(target);
        ++log.paints;
    };
    document.OnLoop = [&log](TGIFPainter&) { log.events.push_back("loop"); };
    document.OnEndPaint = [&log](TGIFPainter&) {
        log.events.push_back("end");
        log.ended = true;
    };
}

// Full-screen frames of one colour each with the given delays.
void AddSolidFrames(TGIFImage& document, const std::vector<int>& delays) {
    SetGlobalColors(document, kColors);
    for (size_t i = 0; i < delays.size(); ++i)
        AddFrame(document,
                 {0, 0, 2, 2, std::vector<uint8_t>(4, static_cast<uint8_t>(1 + i % 3)), delays[i]});
}

void SetLoops(TGIFImage& document, int loops) {
    TGIFSubImage& first = document.Images()[0];
    auto loop = std::make_unique<TGIFAppExtNSLoop>(&first);
    loop->SetLoops(loops);
    first.Extensions().Add(std::move(loop));
}

int Count(const std::vector<std::string>& events, const std::string& event) {
    return static_cast<int>(std::count(events.begin(), events.end(), event));
}

// Runs the calls painters hand to this thread until `done` or a generous limit.
template <class Done>
void PumpUntil(Done done) {
    for (int i = 0; i < 20000 && !done(); ++i) WaitForSynchronize(5);
}

class PainterTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMainThread();
        document.SetPaintTimer(&timer);
    }
    void Play(uint16_t options) {
        document.SetPaintOptions(options);
        Record(document, log, target);
        document.Draw(canvas, {0, 0, target.Width(), target.Height()});
    }

    TRecordingTimer timer;
    TBitmap target{2, 2, pf24bit};
    TBitmapCanvas canvas{target};
    TPaintLog log;
    TGIFImage document;
};

}  // namespace

TEST_F(PainterTest, PlaysFramesInOrderWithTheirDelaysAndRepeatsByTheLoopCount) {
    AddSolidFrames(document, {0, 1, 25});
    SetLoops(document, 1);
    Play(kAnimate);

    EXPECT_EQ(log.events,
              (std::vector<std::string>{"start", "paint 0", "after 0", "paint 1", "after 1",
                                        "paint 2", "after 2", "loop", "paint 0", "after 0",
                                        "paint 1", "after 1", "paint 2", "after 2", "end"}));
    // Each frame stays for its own delay: none means 10 units, less than 3 means 3; 12 ms each.
    EXPECT_EQ(timer.Waits(), (std::vector<int>{120, 36, 300, 120, 36}));
    EXPECT_EQ(target.Pixel(1, 1), kBlue);
    EXPECT_EQ(document.Painters().Count(), 0);
}

TEST_F(PainterTest, LoopCountAndLoopOptionsDecideTheNumberOfPasses) {
    AddSolidFrames(document, {5, 5});
    SetLoops(document, 2);
    Play(kAnimate);
    EXPECT_EQ(Count(log.events, "loop"), 2) << "two repeats after the first pass";

    const auto passes = [this](uint16_t options, int loops) {
        TGIFImage other;
        other.SetPaintTimer(&timer);
        AddSolidFrames(other, {5, 5});
        if (loops >= 0) SetLoops(other, loops);
        TPaintLog otherLog;
        other.SetPaintOptions(options);
        Record(other, otherLog, target);
        other.Draw(canvas, {0, 0, 2, 2});
        return Count(otherLog.events, "paint 0");
    };
    EXPECT_EQ(passes(kAnimate, -1), 1) << "for ever is once without a thread of its own";
    EXPECT_EQ(passes(kAnimate | poLoopForever, 3), 1);
    EXPECT_EQ(passes(poAnimate, 3), 1) << "no poLoop, no repeat";
    EXPECT_EQ(passes(kAnimate, 3), 4);
}

TEST_F(PainterTest, WaitsTakeOffHalfThePaintingTimeAndFollowThePlaybackSpeed) {
    AddSolidFrames(document, {10, 10, 2000});
    document.OnAfterPaint = [this](TGIFPainter&) { timer.Advance(40); };
    document.SetPaintOptions(poAnimate);
    document.SetPlaybackSpeed(200);
    document.Draw(canvas, {0, 0, 2, 2});
    EXPECT_EQ(timer.Waits(), (std::vector<int>{50, 50}));

    TRecordingTimer slow;
    TGIFImage stalled;
    stalled.SetPaintTimer(&slow);
    AddSolidFrames(stalled, {10, 2000, 10});
    stalled.SetPaintOptions(poAnimate);
    stalled.Draw(canvas, {0, 0, 2, 2});
    stalled.SetPlaybackSpeed(0);
    stalled.Draw(canvas, {0, 0, 2, 2});
    EXPECT_EQ(slow.Waits(),
              (std::vector<int>{120, 12000, kPaintStalledWaitMs, kPaintStalledWaitMs}))
        << "without a thread of its own a delay stops at 1000 units";
}

TEST_F(PainterTest, DisposalRestoresTheBackgroundOrThePreviousPicture) {
    const auto play = [](uint16_t options) {
        TRecordingTimer timer;
        TBitmap target(4, 4, pf24bit);
        TBitmapCanvas canvas(target);
        canvas.FillRect({0, 0, 4, 4}, clWhite);
        TGIFImage document;
        document.SetPaintTimer(&timer);
        SetGlobalColors(document, kColors);
        AddFrame(document, {0, 0, 4, 4, std::vector<uint8_t>(16, 1), 10});
        AddFrame(document, {1, 1, 2, 2, {2, 2, 2, 2}, 10, dmBackground});
        AddFrame(document, {0, 0, 1, 1, {3}, 10, dmPrevious});
        AddFrame(document, {3, 3, 1, 1, {0}, 10});
        TPaintLog log;
        Record(document, log, target);
        document.SetPaintOptions(options);
        document.Draw(canvas, {0, 0, 4, 4});
        return log.canvases;
    };
    for (uint16_t options : {kAnimate | poTransparent, kAnimate | poTransparent | poDirectDraw}) {
        const std::vector<TBitmap> canvases = play(options);
        ASSERT_EQ(canvases.size(), 4u);
        EXPECT_EQ(canvases[1].Pixel(1, 1), kGreen);
        EXPECT_EQ(canvases[1].Pixel(0, 0), kRed);
        EXPECT_EQ(canvases[2].Pixel(1, 1), clWhite) << "the background behind the animation";
        EXPECT_EQ(canvases[2].Pixel(0, 0), kBlue);
        EXPECT_EQ(canvases[3].Pixel(0, 0), kRed) << "the picture before the blue pixel";
        EXPECT_EQ(canvases[3].Pixel(2, 2), clWhite);
        EXPECT_EQ(canvases[3].Pixel(3, 3), clBlack);
        for (size_t i = 0; i < canvases.size(); ++i)
            EXPECT_EQ(canvases[i].Bits(), play(kAnimate | poTransparent)[i].Bits())
                << "painting straight onto the canvas shows the same, frame " << i;
    }
}

TEST_F(PainterTest, HandlersMayMoveTheActiveFrameAndAnInvalidCanvasStopsThePainter) {
    AddSolidFrames(document, {5, 5, 5, 5});
    document.SetPaintOptions(poAnimate | poValidateCanvas);
    Record(document, log, target);
    document.OnAfterPaint = [this](TGIFPainter& painter) {
        const int frame = painter.ActiveImage();
        log.events.push_back("after " + std::to_string(frame));
        if (frame == 0) painter.SetActiveImage(2);
        if (frame == 2) canvas.Invalidate();
    };
    document.Draw(canvas, {0, 0, 2, 2});
    EXPECT_EQ(log.events, (std::vector<std::string>{"start", "paint 0", "after 0", "paint 2",
                                                    "after 2", "end"}));
}

TEST_F(PainterTest, AnErrorInAHandlerEndsThePainterAndReachesTheCaller) {
    AddSolidFrames(document, {5, 5});
    document.SetPaintOptions(kAnimate);
    document.OnPaint = [](TGIFPainter&) { throw std::runtime_error("handler failed"); };
    bool ended = false;
    document.OnEndPaint = [&ended](TGIFPainter&) { ended = true; };
    EXPECT_EQ(gifdoc::ErrorOf([this] { document.Draw(canvas, {0, 0, 2, 2}); }), "handler failed");
    EXPECT_TRUE(ended);
    EXPECT_EQ(document.Painters().Count(), 0);

    // A threaded painter has no caller to raise it to: it becomes a diagnostic.
    std::vector<std::string> diagnostics;
    document.OnDiagnostic = [&diagnostics](TGIFObject*, int severity, const std::string& text) {
        diagnostics.push_back(std::to_string(severity) + " " + text);
    };
    document.SetPaintOptions(kAnimate | poThreaded);
    document.Draw(canvas, {0, 0, 2, 2});
    PumpUntil([this] { return document.Painters().Count() == 0; });
    EXPECT_EQ(diagnostics, (std::vector<std::string>{"2 handler failed"}));
}

TEST_F(PainterTest, ThreadedPainterLoopsForEverUntilClearStopsIt) {
    AddSolidFrames(document, {5, 5, 5});
    Play(kAnimate | poThreaded);
    PumpUntil([this] { return log.paints >= 10; });
    ASSERT_GE(log.paints, 10);
    EXPECT_GE(Count(log.events, "loop"), 3);
    document.Draw(canvas, {0, 0, 2, 2});
    EXPECT_EQ(document.Painters().Count(), 1) << "the same place: the running painter repaints";

    document.Clear();
    EXPECT_EQ(document.Painters().Count(), 0);
    EXPECT_TRUE(log.ended);
    EXPECT_EQ(log.events.back(), "end");
}

TEST_F(PainterTest, StoppingInterruptsALongWaitAndDestroyingTheDocumentStopsItsPainters) {
    TPaintLog waiting;
    {
        TGIFImage slow;  // the real timer: a wait of 60000 units would take 12 minutes
        AddSolidFrames(slow, {60000, 60000});
        slow.SetPaintOptions(kAnimate | poThreaded);
        Record(slow, waiting, target);
        slow.Draw(canvas, {0, 0, 2, 2});
        PumpUntil([&waiting] { return waiting.paints >= 1; });
        slow.StopPainting();
        EXPECT_EQ(slow.Painters().Count(), 0);
        EXPECT_TRUE(waiting.ended);

        slow.Draw(canvas, {0, 0, 2, 2});
        PumpUntil([&waiting] { return waiting.paints >= 2; });
    }
    EXPECT_EQ(Count(waiting.events, "end"), 2);
}

TEST_F(PainterTest, StillPicturesShowTheForcedFrameStretchedOrTiled) {
    TBitmap wide(4, 2, pf24bit);
    TBitmapCanvas wideCanvas(wide);
    SetGlobalColors(document, kColors);
    AddFrame(document, {0, 0, 2, 1, {1, 1}, 5});
    AddFrame(document, {1, 0, 1, 1, {3}, 5});
    document.SetForcedFrame(1);
    document.SetPaintOptions(poTile);
    document.Draw(wideCanvas, {0, 0, 4, 2});
    EXPECT_EQ(wide.Pixel(0, 0), kRed);
    EXPECT_EQ(wide.Pixel(1, 0), kBlue) << "frame 1 over frame 0";
    EXPECT_EQ(wide.Pixel(3, 0), kBlue) << "tiled";
    EXPECT_EQ(wide.Pixel(3, 1), kBlue);

    document.SetPaintOptions(0);
    document.SetForcedFrame(-1);
    document.Draw(wideCanvas, {0, 0, 4, 2});
    EXPECT_EQ(wide.Pixel(3, 1), kRed) << "frame 0 stretched";
    EXPECT_EQ(document.Painters().Count(), 0);
}

TEST_F(PainterTest, AHandlerMayClearTheDocumentWhileItsPainterRuns) {
    for (uint16_t threaded : {uint16_t{0}, uint16_t{poThreaded}}) {
        TGIFImage document;
        document.SetPaintTimer(&timer);
        AddSolidFrames(document, {5, 5, 5});
        std::vector<std::string> events;
        document.OnAfterPaint = [&](TGIFPainter& painter) {
            events.push_back("after " + std::to_string(painter.ActiveImage()));
            if (painter.ActiveImage() == 1) document.Clear();
        };
        document.OnEndPaint = [&](TGIFPainter&) { events.push_back("end"); };
        document.SetPaintOptions(kAnimate | threaded);
        document.Draw(canvas, {0, 0, 2, 2});
        PumpUntil([&] { return document.Painters().Count() == 0; });
        EXPECT_EQ(events, (std::vector<std::string>{"after 0", "after 1", "end"}))
            << "threaded " << threaded;
        EXPECT_TRUE(document.Empty());
    }
}
