// The pipeline of workers that make converted frames into GIF frames: frames come out in the
// order they went in whatever order the workers finish them, the in-order step sees every frame
// in order and one at a time, a full pipeline says so, a frame that cannot be made raises its
// error in its turn, discarding leaves it ready for more, and the workers keep the priority they
// were started at.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <atomic>
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
#include "gif/optimise/OctreeFrameSteps.h"
#include "platform/Bitmap.h"
#include "platform/Exception.h"
#include "platform/Thread.h"
#include "platform/ThreadPriority.h"
#include "tests/common/TestSupport.h"

namespace {

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

// The number of a picture or a made frame.
int NumberOf(int width, int height) {
    return width - (height == kNoisyHeight ? kNoisyWidth : kPlainWidth);
}
int NumberOf(const TGIFSubImage& frame) { return NumberOf(frame.Width(), frame.Height()); }
int NumberOf(const TPipelineResult& result) { return NumberOf(*result.Frame); }

// The octree steps, failing the frames whose numbers are listed, and recording the order in
// which frames reach Remap (and whether two ever got there at once).
class TTestSteps final : public TFrameSteps {
public:
    explicit TTestSteps(std::set<int> failing = {}) : failing_(std::move(failing)) {}
    std::unique_ptr<TFrameStepsThread> NewThread() const override { return octree_.NewThread(); }
    void Quantize(TStepFrame& frame, TFrameStepsThread& thread) const override {
        if (failing_.count(NumberOf(frame.Picture.Width(), frame.Picture.Height())))
            throw Exception("frame cannot be made");
        octree_.Quantize(frame, thread);
    }
    void Remap(TStepFrame& frame) override {
        if (inRemap_.exchange(true)) overlapped_ = true;
        remapped_.push_back(NumberOf(*frame.Frame));
        std::this_thread::yield();
        inRemap_ = false;
    }
    void Compress(TStepFrame& frame, TFrameStepsThread& thread) const override {
        octree_.Compress(frame, thread);
    }
    const std::vector<TGIFColor>& GlobalTable() const override { return octree_.GlobalTable(); }

    const std::vector<int>& Remapped() const { return remapped_; }
    bool Overlapped() const { return overlapped_; }

private:
    std::set<int> failing_;
    TOctreeFrameSteps octree_{geLZW, false};
    std::vector<int> remapped_;
    std::atomic<bool> inRemap_{false};
    bool overlapped_ = false;
};

TEST(FramePipeline, FramesComeOutInTheOrderTheyWentIn) {
    for (const int workers : {0, 1, 3}) {
        SCOPED_TRACE(workers);
        TTestSteps steps;
        TFramePipeline pipeline(workers);
        pipeline.SetSteps(&steps);
        EXPECT_EQ(pipeline.Slots(), workers + TFramePipeline::kQueuedFrames);
        std::vector<int> numbers;
        int next = 0;
        for (int round = 0; round < 3; ++round) {
            // Fill the pipeline, then take about half of it.
            while (!pipeline.Full()) {
                Paint(pipeline.NextFrame().Picture, next++);
                pipeline.Submit();
            }
            EXPECT_EQ(pipeline.InFlight(), pipeline.Slots());
            for (int i = 0; i < pipeline.Slots() / 2 + 1; ++i) {
                TPipelineResult result = pipeline.TakeOldest();
                ASSERT_TRUE(result.Taken);
                ASSERT_NE(result.Frame, nullptr);
                EXPECT_TRUE(result.Frame->Coded());
                EXPECT_EQ(result.Frame->Image(), nullptr);
                numbers.push_back(NumberOf(result));
            }
        }
        for (TPipelineResult result = pipeline.TakeOldest(); result.Taken;
             result = pipeline.TakeOldest())
            numbers.push_back(NumberOf(result));
        EXPECT_EQ(pipeline.InFlight(), 0);
        ASSERT_EQ(static_cast<int>(numbers.size()), next);
        for (int i = 0; i < next; ++i) EXPECT_EQ(numbers[i], i);
        EXPECT_EQ(steps.Remapped(), numbers);
        EXPECT_FALSE(steps.Overlapped());
    }
}

TEST(FramePipeline, AFrameThatCannotBeMadeRaisesItsErrorInItsTurn) {
    for (const int workers : {0, 2}) {
        SCOPED_TRACE(workers);
        TTestSteps steps({1});
        TFramePipeline pipeline(workers);
        pipeline.SetSteps(&steps);
        for (int n = 0; n < 3; ++n) {
            Paint(pipeline.NextFrame().Picture, n);
            pipeline.Submit();
        }
        EXPECT_EQ(NumberOf(pipeline.TakeOldest()), 0);
        EXPECT_EQ(testsupport::ErrorOf([&] { pipeline.TakeOldest(); }), "frame cannot be made");
        EXPECT_EQ(NumberOf(pipeline.TakeOldest()), 2);
        EXPECT_FALSE(pipeline.TakeOldest().Taken);
        // The frame that failed took its turn without being remapped.
        EXPECT_EQ(steps.Remapped(), (std::vector<int>{0, 2}));
    }
}

TEST(FramePipeline, DiscardDropsWhatWasNotTakenAndTheNextFramesComeAsUsual) {
    // The steps outlive the pipeline, which still has frames in flight when it goes.
    TTestSteps steps({3});
    TTestSteps next;
    TFramePipeline pipeline(2);
    pipeline.SetSteps(&steps);
    for (int n = 0; n < pipeline.Slots(); ++n) {
        Paint(pipeline.NextFrame().Picture, n);
        pipeline.Submit();
    }
    pipeline.Discard();
    EXPECT_EQ(pipeline.InFlight(), 0);
    EXPECT_FALSE(pipeline.OldestMade());
    EXPECT_FALSE(pipeline.TakeOldest().Taken);
    pipeline.SetSteps(&next);
    Paint(pipeline.NextFrame().Picture, 7);
    pipeline.Submit();
    EXPECT_EQ(NumberOf(pipeline.TakeOldest()), 7);
    // Frames left in flight go with the pipeline.
    for (int n = 0; n < 4; ++n) {
        Paint(pipeline.NextFrame().Picture, n);
        pipeline.Submit();
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
    TTestSteps steps;
    TFramePipeline pipeline(2);
    pipeline.SetSteps(&steps);
    std::vector<int> workers;
    for (int thread : ProcessThreads())
        if (!before.count(thread)) workers.push_back(thread);
    ASSERT_EQ(workers.size(), 2u);

    std::thread conversion([&pipeline, conversionNice] {
        ASSERT_TRUE(SetThreadNice(CurrentThreadId(), conversionNice));
        for (int n = 0; n < 12; ++n) {
            if (pipeline.Full()) {
                EXPECT_EQ(NumberOf(pipeline.TakeOldest()), n - pipeline.Slots());
            }
            Paint(pipeline.NextFrame().Picture, n);
            pipeline.Submit();
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
