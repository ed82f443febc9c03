#pragma once
// Shared set-up of the encoder suites: the libraries loaded, the frame output formats listed,
// the engine log captured, small clips made once per suite; tasks that convert a clip into raw
// frames for a frame output adapter; the end reports an encoder delivers, and waiting on the
// main thread while the encoder's threads hand calls to it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/encoder/FFEncode.h"
#include "engine/loader/FFLoad.h"
#include "engine/log/FFLog.h"
#include "engine/output/FrameOutput.h"
#include "engine/output/FrameOutputFormats.h"
#include "platform/MainThread.h"
#include "platform/Thread.h"
#include "tests/common/LogCapture.h"
#include "tests/common/TestSupport.h"

namespace encodertest {

// Raw BGR24 pictures for a frame output adapter, as every GIF the program makes.
inline const std::string kFrameRoad = "-f rawrgb -c:v rawvideo -pix_fmt bgr24";

// Waits on the main thread, running the calls queued for it, until `done` holds or the time is
// up (a generous limit: reaching it means the encoder hangs). Returns `done()`.
inline bool PumpUntil(const std::function<bool()>& done, int limitMs = 60000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        WaitForSynchronize(5);
    }
    return true;
}

// The end reports of an encoder, in the order they arrived, and whether each ran on the main
// thread.
class TTerminateLog {
public:
    void Attach(TFFEncoder& encoder) {
        encoder.OnTerminate = [this](TCustomEncoder*, const TTerminateInfo& info) {
            std::lock_guard<std::mutex> guard(lock_);
            infos_.push_back(info);
            onMain_.push_back(IsMainThread());
            if (OnReport) OnReport(info);
        };
    }
    std::vector<TTerminateInfo> Infos() {
        std::lock_guard<std::mutex> guard(lock_);
        return infos_;
    }
    std::vector<int> Indexes() {
        std::vector<int> indexes;
        for (const TTerminateInfo& info : Infos()) indexes.push_back(info.TaskIndex);
        return indexes;
    }
    bool AllEnded() {
        for (const TTerminateInfo& info : Infos())
            if (info.TaskIndex == -1) return true;
        return false;
    }
    bool AllOnMainThread() {
        std::lock_guard<std::mutex> guard(lock_);
        for (bool main : onMain_)
            if (!main) return false;
        return true;
    }
    // Waits (pumping) for the report of the end of all tasks.
    bool WaitAllEnded() {
        return PumpUntil([this] { return AllEnded(); });
    }
    // Called with each report, on the thread it arrives on.
    std::function<void(const TTerminateInfo&)> OnReport;

private:
    std::mutex lock_;
    std::vector<TTerminateInfo> infos_;
    std::vector<bool> onMain_;
};

// Counts what a frame output adapter receives (on the worker thread).
struct TFrameCounter {
    std::atomic<int> Headers{0};
    std::atomic<int> Frames{0};
    std::atomic<int> Closes{0};
    // Called on the worker with each frame's number, after it was counted.
    std::function<void(int)> OnFrame;

    void Attach(TFrameOutputAdapter& adapter) {
        adapter.OnWriteHeader = [this](TFrameOutputAdapter*) { Headers++; };
        adapter.OnWriteFrame = [this](TFrameOutputAdapter*, POutputFrameInfo info) {
            Frames++;
            if (OnFrame) OnFrame(info->FrameNumber);
        };
        adapter.OnWriteClose = [this](TFrameOutputAdapter*) { Closes++; };
    }
};

// Ends the program when a test is still running after the limit: a hang shows as a failure
// with a message instead of a stuck test run.
class THangGuard {
public:
    explicit THangGuard(int limitMs, const char* what)
        : thread_([this, limitMs, what](TThread&) {
              if (done_.WaitFor(limitMs) == TWaitResult::wrTimeout) {
                  std::fprintf(stderr, "hang: %s\n", what);
                  std::abort();
              }
          }) {
        thread_.Start();
    }
    ~THangGuard() {
        done_.SetEvent();
        thread_.WaitFor();
    }

private:
    TEvent done_;
    TThread thread_;
};

class EncoderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(FFLoader().LoadLibs(FullLibrarySet)) << FFLoader().LastErrorMessage();
        RegisterFrameOutputFormats();
        dir_ = std::make_unique<testsupport::TempDir>();
    }
    static void TearDownTestSuite() { dir_.reset(); }
    void SetUp() override { FFLogger().SetLogLevel(llInfo); }
    void TearDown() override {
        // CLIPGIF_TEST_LOG=1 shows what the engine logged (when looking into a failure)
        if (std::getenv("CLIPGIF_TEST_LOG"))
            for (const testsupport::TLoggedLine& line : log_.Lines())
                std::printf("[%d] %s\n", static_cast<int>(line.Level), line.Text.c_str());
    }

    static std::string File(const std::string& name) { return dir_->File(name); }
    static std::string Clip(const std::string& name, const std::string& args) {
        const std::string path = File(name);
        if (!testsupport::FileExists(path)) testsupport::MakeMedia(args, path);
        return path;
    }
    // 25 frames of 64x48.
    static std::string ShortClip() {
        return Clip("short.nut", "-f lavfi -i testsrc=size=64x48:rate=25 -t 1 -c:v mpeg4");
    }
    // 250 frames of 64x48: long enough to be stopped or paused on the way.
    static std::string LongClip() {
        return Clip("long.nut", "-f lavfi -i testsrc=size=64x48:rate=25 -t 10 -c:v mpeg4");
    }

    // A task converting `clip` into raw frames for `adapter`; fails the test when it cannot.
    static int AddFrameTask(TFFEncoder& encoder, const std::string& clip,
                            TFrameOutputAdapter& adapter, const std::string& extra = "") {
        const int index = encoder.AddTask(clip);
        EXPECT_GE(index, 0) << encoder.LastErrorMessage();
        if (index < 0) return index;
        TOutputOptions options;
        options.Options = kFrameRoad + " " + extra;
        const int ret = encoder.SetOutput(index, adapter.OutputName(), options);
        EXPECT_GE(ret, 0) << encoder.LastErrorMessage();
        return ret < 0 ? ret : index;
    }

    bool Logged(TLogLevel level, const std::string& text) { return log_.Logged(level, text); }

    static std::unique_ptr<testsupport::TempDir> dir_;

private:
    testsupport::TLogCapture log_;
};

inline std::unique_ptr<testsupport::TempDir> EncoderTest::dir_;

}  // namespace encodertest
