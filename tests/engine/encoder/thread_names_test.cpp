// The engine's threads carry names, as debuggers, profilers and /proc show them: the thread that
// converts (and so the decoder's threads it makes), the one that reports a task's end, and the
// one that ends a task that never ran. The scaler's slice threads are as many as the encoder
// allows.
#include <filesystem>
#include <fstream>
#include <mutex>

#include "tests/engine/encoder/encoder_test_support.h"

using encodertest::EncoderTest;
using encodertest::TFrameCounter;
using encodertest::TTerminateLog;

namespace {

// The names of the process's threads now.
std::vector<std::string> ThreadNames() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(entry.path() / "comm");
        std::string name;
        if (std::getline(comm, name)) names.push_back(name);
    }
    return names;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

class ThreadNamesTest : public EncoderTest {
protected:
    // The threads of the process while a scaling conversion runs with `filterThreads` slice
    // threads and `decoderThreads` decoder threads (counted at its first frame).
    static size_t ThreadsWhileConverting(int filterThreads, int decoderThreads) {
        TFrameOutputAdapter adapter;
        TFrameCounter counter;
        counter.Attach(adapter);
        size_t threads = 0;
        counter.OnFrame = [&](int frame) {
            if (frame == 1) threads = ThreadNames().size();
        };
        TFFEncoder encoder;
        encoder.SetFilterThreads(filterThreads);
        encoder.SetDecoderThreads(decoderThreads);
        if (AddFrameTask(encoder, ShortClip(), adapter, "-s 32x24") != 0) return 0;
        encoder.StartTask(0);
        EXPECT_EQ(counter.Frames, 25);
        return threads;
    }
};

TEST_F(ThreadNamesTest, RunningConversionAndItsEndReportRunOnNamedThreads) {
    TFrameOutputAdapter adapter;
    TFrameCounter counter;
    counter.Attach(adapter);
    TEvent reached, release;
    std::string convertingOn;
    counter.OnFrame = [&](int frame) {
        if (frame != 1) return;
        convertingOn = CurrentThreadName();
        reached.SetEvent();
        release.WaitFor(60000);
    };
    TFFEncoder encoder;
    encoder.SetTriggerEventInMainThread(false);  // the end reports come on their own threads
    TTerminateLog ends;
    std::mutex lock;
    std::vector<std::string> reportedOn;
    ends.OnReport = [&](const TTerminateInfo&) {
        std::lock_guard<std::mutex> guard(lock);
        reportedOn.push_back(CurrentThreadName());
    };
    ends.Attach(encoder);
    ASSERT_EQ(AddFrameTask(encoder, ShortClip(), adapter), 0);
    encoder.StartTask(1);
    ASSERT_EQ(reached.WaitFor(60000), TWaitResult::wrSignaled);
    const std::vector<std::string> running = ThreadNames();
    release.SetEvent();
    ASSERT_TRUE(ends.WaitAllEnded());

    EXPECT_EQ(convertingOn, TConvertThread::kThreadName);
    EXPECT_TRUE(Contains(running, TConvertThread::kThreadName));
    std::lock_guard<std::mutex> guard(lock);
    EXPECT_EQ(reportedOn, (std::vector<std::string>{TTerminateEventThread::kThreadName,
                                                    TTerminateEventThread::kThreadName}));
}

TEST_F(ThreadNamesTest, TaskThatNeverRanEndsOnANamedThread) {
    TCustomFFmpeg task;
    std::string endedOn;
    task.Routes.Terminate = [&](TCustomFFmpeg*) { endedOn = CurrentThreadName(); };
    task.StopTask(true);
    EXPECT_TRUE(task.Terminated);
    EXPECT_EQ(endedOn, TDoTerminateThread::kThreadName);
}

TEST_F(ThreadNamesTest, ConversionInTheCallersThreadLeavesItsNameAlone) {
    const std::string own = CurrentThreadName();
    TFrameOutputAdapter adapter;
    TFrameCounter counter;
    counter.Attach(adapter);
    std::string convertingOn;
    counter.OnFrame = [&](int frame) {
        if (frame == 1) convertingOn = CurrentThreadName();
    };
    TFFEncoder encoder;
    ASSERT_EQ(AddFrameTask(encoder, ShortClip(), adapter), 0);
    encoder.StartTask(0);
    EXPECT_EQ(counter.Frames, 25);
    EXPECT_EQ(convertingOn, own);
    EXPECT_EQ(CurrentThreadName(), own);
}

TEST_F(ThreadNamesTest, ScalerSlicesRunOnAsManyThreadsAsTheEncoderAllows) {
    const size_t one = ThreadsWhileConverting(1, 1);
    const size_t four = ThreadsWhileConverting(4, 1);
    ASSERT_GT(one, 0u);
    // One thread: the scaler works on the converting thread; four: three or four more.
    EXPECT_GE(four, one + 3);
}

TEST_F(ThreadNamesTest, DecoderRunsOnAsManyThreadsAsTheEncoderAllows) {
    const size_t before = ThreadNames().size();
    const size_t one = ThreadsWhileConverting(1, 1);
    const size_t three = ThreadsWhileConverting(1, 3);
    // One thread: the decoder works on the converting thread, as do the scaler and the raw
    // video coder (a copy); three: a thread each.
    EXPECT_EQ(one, before);
    EXPECT_GE(three, one + 3);
}

}  // namespace
