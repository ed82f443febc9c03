// The main thread waits in Stop(true) while the worker waits for the main thread to run its
// progress and preview handlers: the wait runs those calls, so neither waits for ever.
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

}  // namespace
