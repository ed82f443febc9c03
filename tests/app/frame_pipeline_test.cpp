// The pipeline of workers that make converted frames into GIF frames: frames come out in the
// order they went in whatever order the workers finish them, a full pipeline says so, a frame
// that cannot be made raises its error in its turn, discarding leaves it ready for more, and
// the workers keep the priority they were started at.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/core/FramePipeline.h"
#include "gif/model/GIFImage.h"
#include "platform/Bitmap.h"
#include "platform/Thread.h"
#include "platform/ThreadPriority.h"
#include "tests/common/TestSupport.h"

namespace {

constexpr TFrameMaking kMaking = {{prOctreePlusSystem, edNearest, 8}, geLZW};
// Reduction with no palette to reduce to: the import fails.
constexpr TFrameMaking kFailing = {{prCallerPalette, edNearest, 8}, geLZW};

// Frame `n`: noisy pictures (slow to make) and plain ones (quick) in turn, each frame's width
// telling its number.
constexpr int kNoisyHeight = 120;
constexpr int kNoisyWidth = 100;
constexpr int kPlainWidth = 8;

void Paint(TBitmap& bitmap, int n) {
    const bool noisy = n % 2 == 0;
    const int width = (noisy ? kNoisyWidth : kPlainWidth) + n;
    const int height = noisy ? kNoisyHeight : 4;
    bitmap.SetSize(width, height);
    std::mt19937 rng(static_cast<unsigned>(n));
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bitmap.ScanLine(y);
        for (int x = 0; x < width * 3; ++x) row[x] = noisy ? static_cast<uint8_t>(rng()) : 90;
    }
}

// The number of a made frame.
int NumberOf(const TGIFSubImage& frame) {
    return frame.Width() - (frame.Height() == kNoisyHeight ? kNoisyWidth : kPlainWidth);
}

TEST(FramePipeline, FramesComeOutInTheOrderTheyWentIn) {
    for (const int workers : {0, 1, 3}) {
        SCOPED_TRACE(workers);
        TFramePipeline pipeline(workers);
        EXPECT_EQ(pipeline.Slots(), workers + TFramePipeline::kQueuedFrames);
        std::vector<int> numbers;
        int next = 0;
        for (int round = 0; round < 3; ++round) {
            // Fill the pipeline, then take about half of it.
            while (!pipeline.Full()) {
                Paint(pipeline.NextBitmap(), next++);
                pipeline.Submit(kMaking);
            }
            EXPECT_EQ(pipeline.InFlight(), pipeline.Slots());
            for (int i = 0; i < pipeline.Slots() / 2 + 1; ++i) {
                std::unique_ptr<TGIFSubImage> frame = pipeline.TakeOldest();
                ASSERT_NE(frame, nullptr);
                EXPECT_TRUE(frame->Coded());
                EXPECT_EQ(frame->Image(), nullptr);
                numbers.push_back(NumberOf(*frame));
            }
        }
        while (std::unique_ptr<TGIFSubImage> frame = pipeline.TakeOldest())
            numbers.push_back(NumberOf(*frame));
        EXPECT_EQ(pipeline.InFlight(), 0);
        ASSERT_EQ(static_cast<int>(numbers.size()), next);
        for (int i = 0; i < next; ++i) EXPECT_EQ(numbers[i], i);
    }
}

TEST(FramePipeline, AFrameThatCannotBeMadeRaisesItsErrorInItsTurn) {
    for (const int workers : {0, 2}) {
        SCOPED_TRACE(workers);
        TFramePipeline pipeline(workers);
        for (int n = 0; n < 3; ++n) {
            Paint(pipeline.NextBitmap(), n);
            pipeline.Submit(n == 1 ? kFailing : kMaking);
        }
        EXPECT_EQ(NumberOf(*pipeline.TakeOldest()), 0);
        EXPECT_EQ(testsupport::ErrorOf([&] { pipeline.TakeOldest(); }),
                  "Scan line index out of range");
        EXPECT_EQ(NumberOf(*pipeline.TakeOldest()), 2);
        EXPECT_EQ(pipeline.TakeOldest(), nullptr);
    }
}

TEST(FramePipeline, DiscardDropsWhatWasNotTakenAndTheNextFramesComeAsUsual) {
    TFramePipeline pipeline(2);
    for (int n = 0; n < pipeline.Slots(); ++n) {
        Paint(pipeline.NextBitmap(), n);
        pipeline.Submit(n == 3 ? kFailing : kMaking);
    }
    pipeline.Discard();
    EXPECT_EQ(pipeline.InFlight(), 0);
    EXPECT_FALSE(pipeline.OldestMade());
    EXPECT_EQ(pipeline.TakeOldest(), nullptr);
    Paint(pipeline.NextBitmap(), 7);
    pipeline.Submit(kMaking);
    EXPECT_EQ(NumberOf(*pipeline.TakeOldest()), 7);
    // Frames left in flight go with the pipeline.
    for (int n = 0; n < 4; ++n) {
        Paint(pipeline.NextBitmap(), n);
        pipeline.Submit(kMaking);
    }
}

// The threads of this process, by their system ids.
std::set<int> ProcessThreads() {
    std::set<int> threads;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        threads.insert(std::stoi(entry.path().filename().string()));
    return threads;
}

// A conversion runs below the workers: they are started with the pipeline, at the priority of
// the thread that makes it, not of the thread that hands frames in later.
TEST(FramePipeline, WorkersKeepThePriorityOfTheThreadThatMadeThePipeline) {
    errno = 0;
    const int ownNice = getpriority(PRIO_PROCESS, 0);
    ASSERT_EQ(errno, 0);
    if (ownNice >= 19) GTEST_SKIP() << "already at the lowest priority";
    const int conversionNice = std::min(ownNice + 5, 19);
    const std::set<int> before = ProcessThreads();
    TFramePipeline pipeline(2);
    std::vector<int> workers;
    for (int thread : ProcessThreads())
        if (!before.count(thread)) workers.push_back(thread);
    ASSERT_EQ(workers.size(), 2u);

    std::thread conversion([&pipeline, conversionNice] {
        ASSERT_TRUE(SetThreadNice(CurrentThreadId(), conversionNice));
        for (int n = 0; n < 12; ++n) {
            if (pipeline.Full()) {
                EXPECT_EQ(NumberOf(*pipeline.TakeOldest()), n - pipeline.Slots());
            }
            Paint(pipeline.NextBitmap(), n);
            pipeline.Submit(kMaking);
        }
        pipeline.Discard();
    });
    conversion.join();
    for (int worker : workers) {
        errno = 0;
        EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(worker)), ownNice);
        EXPECT_EQ(errno, 0);
    }
}

TEST(FramePipeline, WorkersLeaveACoreToTheConversion) {
    EXPECT_EQ(FrameWorkerCount(0), 1);  // unknown
    EXPECT_EQ(FrameWorkerCount(1), 1);
    EXPECT_EQ(FrameWorkerCount(2), 1);
    EXPECT_EQ(FrameWorkerCount(4), 3);
    EXPECT_EQ(FrameWorkerCount(64), 8);
    EXPECT_GE(DefaultFrameWorkers(), 1);
}

}  // namespace
