// The main thread waits in Stop(true) while the worker waits for the main thread to run its
// progress and preview handlers: the wait runs those calls, so neither waits for ever. Stop(true)
// called from inside such a handler, which the worker itself waits for, stops without waiting.
#include "tests/engine/encoder/encoder_test_support.h"

using encodertest::EncoderTest;
using encodertest::PumpUntil;
using encodertest::THangGuard;
using encodertest::TTerminateLog;

namespace {

class EncoderDeadlockTest : public EncoderTest {};

TEST_F(EncoderDeadlockTest, StopWithWaitingRunsTheWorkersMainThreadCalls) {
    const std::string clip = LongClip();
    THangGuard guard(300000, "Stop(true) against main-thread handlers");
    TFFEncoder encoder;
    ASSERT_TRUE(encoder.TriggerEventInMainThread());
    encoder.SetPreviewBitmap(true);
    encoder.SetProgressInterval(100);
    std::atomic<int> offMain{0};
    int previews = 0;
    int reports = 0;
    encoder.OnPreviewBitmap = [&](TCustomEncoder*, const TPreviewInfo& info) {
        if (!IsMainThread() || !info.Bitmap) offMain++;
        previews++;
    };
    encoder.OnProgress = [&](TCustomEncoder*, PProgressInfo) {
        if (!IsMainThread()) offMain++;
        reports++;
    };
    for (int round = 0; round < 50; round++) {
        SCOPED_TRACE(round);
        TFrameOutputAdapter adapter;
        TTerminateLog ends;
        ends.Attach(encoder);
        ASSERT_EQ(AddFrameTask(encoder, clip, adapter), 0);
        encoder.StartTask(1);
        // without running main-thread calls for a while the worker soon waits for the main
        // thread (its first preview is due at the first frame)
        SleepMs(round % 10 * 3);
        encoder.Stop(true);
        EXPECT_TRUE(encoder.Tasks().Items(0).Terminated);
        ASSERT_TRUE(ends.WaitAllEnded());
        EXPECT_EQ(ends.Indexes(), (std::vector<int>{0, -1}));
        EXPECT_FALSE(ends.Infos()[0].Failed) << ends.Infos()[0].ErrorMessage;
        EXPECT_TRUE(ends.AllOnMainThread());
        encoder.ClearTasks();
    }
    EXPECT_EQ(offMain, 0);
    EXPECT_GT(previews, 0);
    EXPECT_GT(reports, 0);
}

TEST_F(EncoderDeadlockTest, StopWithWaitingFromAHandlerTheWorkerWaitsForReturnsAtOnce) {
    const std::string clip = LongClip();
    THangGuard guard(120000, "Stop(true) inside a handler the worker waits for");
    // progress on the main thread (the worker waits for it) and on the worker itself; a video
    // hook always runs on the worker
    struct TCase {
        const char* What;
        bool OnMainThread;
        bool Hook;
    };
    for (const TCase& which :
         {TCase{"progress on the main thread", true, false},
          TCase{"progress on the worker", false, false}, TCase{"video hook", true, true}}) {
        SCOPED_TRACE(which.What);
        TFFEncoder encoder;
        encoder.SetTriggerEventInMainThread(which.OnMainThread);
        encoder.SetProgressInterval(100);
        TFrameOutputAdapter adapter;
        encodertest::TFrameCounter counter;
        counter.Attach(adapter);
        // a frame every 2 ms or more: progress is reported on the way
        counter.OnFrame = [](int) { SleepMs(2); };
        TTerminateLog ends;
        ends.Attach(encoder);
        std::atomic<int> stops{0};
        auto stop = [&] {
            if (stops++ == 0) encoder.Stop(true);
        };
        encoder.OnProgress = [&](TCustomEncoder*, PProgressInfo) {
            if (!which.Hook) stop();
        };
        encoder.OnVideoOutputHook = [&](TCustomEncoder*, PHookInfo) {
            if (which.Hook) stop();
        };
        const int index = encoder.AddTask(clip);
        ASSERT_EQ(index, 0) << encoder.LastErrorMessage();
        TOutputOptions options;
        options.Options = encodertest::kFrameRoad;
        options.VideoOutputHook = which.Hook;
        ASSERT_GE(encoder.SetOutput(index, adapter.OutputName(), options), 0)
            << encoder.LastErrorMessage();
        encoder.StartTask(1);
        ASSERT_TRUE(ends.WaitAllEnded());
        EXPECT_EQ(ends.Indexes(), (std::vector<int>{0, -1}));
        EXPECT_FALSE(ends.Infos()[0].Completed);
        EXPECT_FALSE(ends.Infos()[0].Failed) << ends.Infos()[0].ErrorMessage;
        EXPECT_GE(stops, 1);
        EXPECT_LT(counter.Frames, 250);
        // outside the handlers Stop(true) waits again
        encoder.Stop(true);
        encoder.ClearTasks();
    }
}

}  // namespace
