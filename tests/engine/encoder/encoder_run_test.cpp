// Running the encoder's tasks: one at a time, all at once or inside the call; the order of
// starts and end reports; stopping, pausing and resuming; failures that end a task; the events
// on their threads; reads that stall past the read time-out.
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <set>

#include "tests/engine/encoder/encoder_test_support.h"

using encodertest::EncoderTest;
using encodertest::PumpUntil;
using encodertest::TFrameCounter;
using encodertest::THangGuard;
using encodertest::TTerminateLog;

namespace {

class EncoderRunTest : public EncoderTest {
protected:
    // 4 pictures at 2 per second, written at 25 per second: each picture is repeated.
    static std::string SlowClip() {
        return Clip("slow.nut", "-f lavfi -i testsrc=size=64x48:rate=2 -t 2 -c:v mpeg4");
    }
};

void ExpectEnded(const TTerminateInfo& info, int index, bool completed, bool failed,
                 const std::string& message = "") {
    EXPECT_EQ(info.TaskIndex, index);
    EXPECT_EQ(info.Completed, completed) << "task " << index;
    EXPECT_EQ(info.Failed, failed) << "task " << index;
    EXPECT_EQ(info.ErrorMessage, message) << "task " << index;
}

// Holds the worker inside the first frame until the encoder has been paused.
struct TPauseAtFirstFrame {
    TEvent reached, paused;

    void Attach(TFrameCounter& counter) {
        counter.OnFrame = [this](int frame) {
            if (frame != 1) return;
            reached.SetEvent();
            paused.WaitFor(30000);
        };
    }
    // Waits for the first frame, pauses the encoder and lets the worker go on into the pause.
    bool Pause(TFFEncoder& encoder) {
        if (reached.WaitFor(30000) != TWaitResult::wrSignaled) return false;
        encoder.Pause();
        paused.SetEvent();
        return true;
    }
};

TEST_F(EncoderRunTest, OneAtATimeEachStartsAfterTheEndOfTheOneBefore) {
    TFrameOutputAdapter adapters[3];
    TFrameCounter counters[3];
    TFFEncoder encoder;
    TTerminateLog ends;
    ends.Attach(encoder);
    std::atomic<int> misordered{0};
    for (int i = 0; i < 3; i++) {
        counters[i].Attach(adapters[i]);
        ASSERT_EQ(AddFrameTask(encoder, ShortClip(), adapters[i]), i);
        // at a task's first frame the tasks before it have ended and none after it has begun
        counters[i].OnFrame = [&, i](int frame) {
            if (frame != 1) return;
            for (int j = 0; j < 3; j++) {
                const bool ended = encoder.Tasks().Items(j).Terminated;
                if ((j < i && !ended) || (j > i && counters[j].Headers > 0)) misordered++;
            }
        };
    }
    encoder.StartTask(1);
    ASSERT_TRUE(ends.WaitAllEnded());
    EXPECT_EQ(misordered, 0);
    EXPECT_EQ(ends.Indexes(), (std::vector<int>{0, 1, 2, -1}));
    const std::vector<TTerminateInfo> infos = ends.Infos();
    for (int i = 0; i < 3; i++) {
        ExpectEnded(infos[i], i, true, false);
        EXPECT_EQ(counters[i].Frames, 25);
        EXPECT_EQ(counters[i].Closes, 1);
    }
    ExpectEnded(infos[3], -1, true, false);
    EXPECT_TRUE(ends.AllOnMainThread());
}

TEST_F(EncoderRunTest, UnthreadedRunDoesEverythingInsideTheCall) {
    TFrameOutputAdapter adapters[3];
    TFrameCounter counters[3];
    TFFEncoder encoder;
    TTerminateLog ends;
    ends.Attach(encoder);
    std::vector<int> progressTasks;
    bool progressOnMain = true;
    encoder.OnProgress = [&](TCustomEncoder*, PProgressInfo info) {
        progressOnMain = progressOnMain && IsMainThread();
        if (info->FileIndex == -1) progressTasks.push_back(info->TaskIndex);
    };
    for (int i = 0; i < 3; i++) {
        counters[i].Attach(adapters[i]);
        ASSERT_EQ(AddFrameTask(encoder, ShortClip(), adapters[i]), i);
    }
    encoder.StartTask(0);
    // no main-thread call was run: every report went straight to its handler
    EXPECT_EQ(ends.Indexes(), (std::vector<int>{0, 1, 2, -1}));
    EXPECT_TRUE(ends.AllOnMainThread());
    EXPECT_EQ(progressTasks, (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(progressOnMain);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(counters[i].Frames, 25);
        EXPECT_TRUE(encoder.Tasks().Items(i).Terminated);
    }
    EXPECT_FALSE(CheckSynchronize());
    EXPECT_TRUE(encoder.Working());
}

TEST_F(EncoderRunTest, ThreeAtATimeRunsTwoTasksTogether) {
    TFrameOutputAdapter adapters[2];
    TFrameCounter counters[2];
    TFFEncoder encoder;
    TTerminateLog ends;
    ends.Attach(encoder);
    std::atomic<int> started{0};
    TEvent bothStarted;
    std::atomic<int> sawTheOther{0};
    for (int i = 0; i < 2; i++) {
        counters[i].Attach(adapters[i]);
        ASSERT_EQ(AddFrameTask(encoder, ShortClip(), adapters[i]), i);
        // each task waits at its first frame until the other has reached its own
        counters[i].OnFrame = [&](int frame) {
            if (frame != 1) return;
            if (++started == 2) bothStarted.SetEvent();
            if (bothStarted.WaitFor(30000) == TWaitResult::wrSignaled) sawTheOther++;
        };
    }
    encoder.StartTask(3);
    ASSERT_TRUE(ends.WaitAllEnded());
    EXPECT_EQ(sawTheOther, 2);
    ASSERT_EQ(ends.Infos().size(), 3u);
    EXPECT_EQ(ends.Infos().back().TaskIndex, -1);
}

TEST_F(EncoderRunTest, PauseHoldsTheWorkerInsideTheFrameRepetitionUntilResume) {
    TFrameOutputAdapter adapter;
    TFrameCounter counter;
    counter.Attach(adapter);
    TFFEncoder encoder;
    TTerminateLog ends;
    ends.Attach(encoder);
    ASSERT_EQ(AddFrameTask(encoder, SlowClip(), adapter, "-r 25"), 0);
    TPauseAtFirstFrame hold;
    hold.Attach(counter);
    encoder.StartTask(1);
    ASSERT_TRUE(hold.Pause(encoder));
    EXPECT_TRUE(encoder.Paused());
    SleepMs(200);
    // the first picture is written about 12 times; the worker stopped among those repeats
    const int framesWhilePaused = counter.Frames;
    EXPECT_LT(framesWhilePaused, 12);
    EXPECT_FALSE(encoder.Tasks().Items(0).Terminated);
    encoder.Resume();
    EXPECT_FALSE(encoder.Paused());
    ASSERT_TRUE(ends.WaitAllEnded());
    EXPECT_GE(counter.Frames, 45);
    ExpectEnded(ends.Infos()[0], 0, true, false);
}

TEST_F(EncoderRunTest, StopWhilePausedEndsTheTaskUncompleted) {
    TFrameOutputAdapter adapter;
    TFrameCounter counter;
    counter.Attach(adapter);
    TFFEncoder encoder;
    TTerminateLog ends;
    ends.Attach(encoder);
    ASSERT_EQ(AddFrameTask(encoder, LongClip(), adapter), 0);
    TPauseAtFirstFrame hold;
    hold.Attach(counter);
    encoder.StartTask(1);
    ASSERT_TRUE(hold.Pause(encoder));
    {
        THangGuard guard(60000, "Stop(true) of a paused task");
        encoder.Stop(true);
    }
    EXPECT_TRUE(encoder.Tasks().Items(0).Terminated);
    ASSERT_TRUE(ends.WaitAllEnded());
    ASSERT_EQ(ends.Infos().size(), 2u);
    ExpectEnded(ends.Infos()[0], 0, false, false);
    ExpectEnded(ends.Infos()[1], -1, true, false);
    EXPECT_LT(counter.Frames, 250);
    EXPECT_EQ(counter.Closes, 1);  // the output was still closed properly
}

TEST_F(EncoderRunTest, StopDuringARunEndsTheTasksThatNeverRanWithoutRunningThem) {
    TFrameOutputAdapter adapters[3];
    TFrameCounter counters[3];
    TFFEncoder encoder;
    TTerminateLog ends;
    ends.Attach(encoder);
    for (int i = 0; i < 3; i++) {
        counters[i].Attach(adapters[i]);
        ASSERT_EQ(AddFrameTask(encoder, LongClip(), adapters[i]), i);
    }
    // the first task waits at its first frame until it is asked to stop
    TEvent firstFrame;
    counters[0].OnFrame = [&](int frame) {
        if (frame != 1) return;
        firstFrame.SetEvent();
        PumpUntil([&] { return encoder.Tasks().Items(0).StopRequest.load(); }, 30000);
    };
    encoder.StartTask(1);
    ASSERT_EQ(firstFrame.WaitFor(30000), TWaitResult::wrSignaled);
    encoder.Stop(true);
    for (int i = 0; i < 3; i++) EXPECT_TRUE(encoder.Tasks().Items(i).Terminated);
    ASSERT_TRUE(ends.WaitAllEnded());
    EXPECT_EQ(ends.Indexes(), (std::vector<int>{0, 1, 2, -1}));
    for (int i = 0; i < 3; i++) ExpectEnded(ends.Infos()[i], i, false, false);
    EXPECT_LT(counters[0].Frames, 250);
    EXPECT_EQ(counters[1].Headers, 0);
    EXPECT_EQ(counters[2].Headers, 0);
}

TEST_F(EncoderRunTest, StopBeforeStartLeavesTheTasksToRun) {
    TFrameOutputAdapter adapter;
    TFrameCounter counter;
    counter.Attach(adapter);
    TFFEncoder encoder;
    TTerminateLog ends;
    ends.Attach(encoder);
    ASSERT_EQ(AddFrameTask(encoder, ShortClip(), adapter), 0);
    encoder.Stop(true);
    EXPECT_FALSE(encoder.Tasks().Items(0).Terminated);
    encoder.StartTask(0);
    EXPECT_EQ(ends.Indexes(), (std::vector<int>{0, -1}));
    ExpectEnded(ends.Infos()[0], 0, true, false);
    EXPECT_EQ(counter.Frames, 25);
}

TEST_F(EncoderRunTest, TaskWithoutOutputFailsToStartAndTheNextOneRuns) {
    TFrameOutputAdapter adapter;
    TFrameCounter counter;
    counter.Attach(adapter);
    TFFEncoder encoder;
    TTerminateLog ends;
    ends.Attach(encoder);
    ASSERT_EQ(encoder.AddTask(ShortClip()), 0);
    ASSERT_EQ(AddFrameTask(encoder, ShortClip(), adapter), 1);
    encoder.StartTask(1);
    ASSERT_TRUE(ends.WaitAllEnded());
    EXPECT_EQ(ends.Indexes(), (std::vector<int>{0, 1, -1}));
    ExpectEnded(ends.Infos()[0], 0, false, true, "At least one output file must be specified");
    ExpectEnded(ends.Infos()[1], 1, true, false);
    EXPECT_EQ(counter.Frames, 25);
    EXPECT_TRUE(Logged(llQuiet, "At least one output file must be specified"));
    EXPECT_TRUE(encoder.Tasks().Items(0).InputFiles.empty());
}

TEST_F(EncoderRunTest, ErrorsWhileConvertingEndTheTaskAsFailedAndNeverReachTheCaller) {
    TFrameOutputAdapter adapters[2];
    TFFEncoder encoder;
    TTerminateLog ends;
    ends.Attach(encoder);
    ASSERT_EQ(AddFrameTask(encoder, ShortClip(), adapters[0]), 0);
    ASSERT_EQ(AddFrameTask(encoder, ShortClip(), adapters[1]), 1);
    adapters[0].OnWriteFrame = [](TFrameOutputAdapter*, POutputFrameInfo info) {
        if (info->FrameNumber == 3) throw Exception("the frame sink is full");
    };
    // not the engine's exception class: it ends the task all the same
    adapters[1].OnWriteFrame = [](TFrameOutputAdapter*, POutputFrameInfo info) {
        if (info->FrameNumber == 2) throw std::runtime_error("out of pixels");
    };
    encoder.StartTask(0);
    ASSERT_EQ(ends.Indexes(), (std::vector<int>{0, 1, -1}));
    ExpectEnded(ends.Infos()[0], 0, false, true, "the frame sink is full");
    ExpectEnded(ends.Infos()[1], 1, false, true, "out of pixels");
    EXPECT_TRUE(Logged(llQuiet, "the frame sink is full"));
    // everything the runs opened was closed
    for (int i = 0; i < 2; i++) {
        const TFFmpeg& task = encoder.Tasks().Items(i);
        EXPECT_TRUE(task.Run.OpenedEncoders.empty());
        EXPECT_TRUE(task.Run.OpenedDecoders.empty());
        EXPECT_TRUE(task.OutputFiles.empty());
        EXPECT_TRUE(task.InputFiles.empty());
    }
}

TEST_F(EncoderRunTest, StepFailingMidwayEndsTheTaskWithTheStepsOwnText) {
    // the volume cannot be applied to planar samples: the audio path fails at the first frame
    const std::string mp3 =
        Clip("tone.mp3", "-f lavfi -i sine=frequency=1000:sample_rate=44100 -t 1 -c:a libmp3lame");
    TFFEncoder encoder;
    TTerminateLog ends;
    ends.Attach(encoder);
    ASSERT_EQ(encoder.AddTask(mp3), 0) << encoder.LastErrorMessage();
    TOutputOptions options;
    options.Options = "-vol 512";
    ASSERT_EQ(encoder.SetOutput(0, File("louder.wav"), options), 0) << encoder.LastErrorMessage();
    encoder.StartTask(1);
    ASSERT_TRUE(ends.WaitAllEnded());
    const std::string message = "Audio volume adjustment on sample format fltp is not supported.";
    ExpectEnded(ends.Infos()[0], 0, false, true, message);
    EXPECT_EQ(encoder.Tasks().Items(0).LastError, message);
    EXPECT_TRUE(Logged(llFatal, message));  // where it failed
    EXPECT_TRUE(Logged(llQuiet, message));  // as the task's end
}

TEST_F(EncoderRunTest, WorkersRunAtTheChosenPriority) {
    const int ownNice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    TFrameOutputAdapter adapter;
    TFrameCounter counter;
    counter.Attach(adapter);
    std::atomic<int> nice{-100};
    counter.OnFrame = [&](int frame) {
        if (frame == 1) nice = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    };
    TFFEncoder encoder;
    encoder.SetThreadPriority(tpLowest);
    TTerminateLog ends;
    ends.Attach(encoder);
    ASSERT_EQ(AddFrameTask(encoder, ShortClip(), adapter), 0);
    encoder.StartTask(1);
    ASSERT_TRUE(ends.WaitAllEnded());
    EXPECT_EQ(nice, 10);
    // the calling thread keeps its own
    EXPECT_EQ(getpriority(PRIO_PROCESS, static_cast<id_t>(gettid())), ownNice);
}

TEST_F(EncoderRunTest, ProgressAndPreviewsRunOnTheMainThreadHooksOnTheWorker) {
    TFrameOutputAdapter adapter;
    TFFEncoder encoder;
    TTerminateLog ends;
    ends.Attach(encoder);
    encoder.SetPreviewBitmap(true);
    int previews = 0;
    bool previewsOnMain = true;
    encoder.OnPreviewBitmap = [&](TCustomEncoder* sender, const TPreviewInfo& info) {
        previews++;
        previewsOnMain = previewsOnMain && IsMainThread() && sender == &encoder;
        EXPECT_EQ(info.TaskIndex, 0);
        ASSERT_NE(info.Bitmap, nullptr);
        EXPECT_EQ(info.Bitmap->Width(), 64);
        EXPECT_EQ(info.Bitmap->Height(), 48);
        EXPECT_GE(info.FrameNumber, 1);
    };
    TProgressInfo last;
    bool progressOnMain = true;
    encoder.OnProgress = [&](TCustomEncoder*, PProgressInfo info) {
        progressOnMain = progressOnMain && IsMainThread();
        last = *info;
    };
    // the output hook paints every frame until it asks for no more, at the fifth
    std::atomic<int> hookCalls{0};
    std::atomic<bool> hookOnWorker{true};
    encoder.OnVideoOutputHook = [&](TCustomEncoder*, PHookInfo info) {
        hookCalls++;
        if (IsMainThread() || info->TaskIndex != 0 || !info->Update) hookOnWorker = false;
        for (int y = 0; y < info->Bitmap->Height(); y++)
            for (int x = 0; x < info->Bitmap->Width(); x++)
                info->Bitmap->SetPixel(x, y, RGBColor(0x10, 0x20, 0xC0));
        if (info->FrameNumber == 5) info->StopHook = true;
    };
    std::atomic<int> frameHookCalls{0};
    std::atomic<bool> frameHookFields{true};
    encoder.OnFrameInputHook = [&](TCustomEncoder*, PFrameHookInfo info) {
        frameHookCalls++;
        if (IsMainThread() || info->TaskIndex != 0 || info->Width != 64 || info->Height != 48 ||
            info->PixFmt != AV_PIX_FMT_YUV420P || !info->Picture || !info->Picture->data[0] ||
            info->FrameNumber != frameHookCalls)
            frameHookFields = false;
    };
    std::vector<uint8_t> firstPixels;  // blue of pixel (0, 0) of each frame
    adapter.OnWriteFrame = [&](TFrameOutputAdapter*, POutputFrameInfo info) {
        firstPixels.push_back(info->Packet->data[0]);
    };
    const int index = encoder.AddTask(ShortClip());
    ASSERT_EQ(index, 0);
    TOutputOptions options;
    options.Options = encodertest::kFrameRoad;
    options.VideoOutputHook = true;
    options.FrameInputHook = true;
    ASSERT_EQ(encoder.SetOutput(0, adapter.OutputName(), options), 0) << encoder.LastErrorMessage();
    encoder.StartTask(1);
    ASSERT_TRUE(ends.WaitAllEnded());

    EXPECT_GE(previews, 1);
    EXPECT_TRUE(previewsOnMain);
    EXPECT_TRUE(progressOnMain);
    EXPECT_EQ(last.TaskIndex, 0);
    EXPECT_EQ(last.FileIndex, -1);
    EXPECT_EQ(last.FrameNumber, 25);
    EXPECT_EQ(hookCalls, 5);
    EXPECT_TRUE(hookOnWorker);
    EXPECT_EQ(frameHookCalls, 25);
    EXPECT_TRUE(frameHookFields);
    ASSERT_EQ(firstPixels.size(), 25u);
    for (int i = 0; i < 5; i++) EXPECT_NEAR(firstPixels[i], 0xC0, 2) << "frame " << i + 1;
    EXPECT_GT(std::abs(firstPixels[5] - 0xC0), 16);  // no longer painted
}

TEST_F(EncoderRunTest, AudioHookSeesTheSamplesAndItsChangesAreEncoded) {
    const std::string tone = Clip("tone.wav",
                                  "-f lavfi -i sine=frequency=440:sample_rate=8000 -t 1 "
                                  "-c:a pcm_s16le");
    const std::string out = File("silenced.wav");
    TFFEncoder encoder;
    TTerminateLog ends;
    ends.Attach(encoder);
    std::atomic<int> samples{0};
    std::atomic<bool> fields{true};
    encoder.OnAudioHook = [&](TCustomEncoder*, int task, int64_t, uint8_t* data, int size, int rate,
                              int channels, AVSampleFormat format) {
        if (task != 0 || rate != 8000 || channels != 1 || format != AV_SAMPLE_FMT_S16)
            fields = false;
        samples += size / 2;
        std::fill(data, data + size, 0);
    };
    ASSERT_EQ(encoder.AddTask(tone), 0) << encoder.LastErrorMessage();
    TOutputOptions options;
    options.Options = "-f wav -c:a pcm_s16le";
    options.AudioHook = true;
    ASSERT_EQ(encoder.SetOutput(0, out, options), 0) << encoder.LastErrorMessage();
    encoder.StartTask(0);
    ASSERT_TRUE(ends.AllEnded());
    ExpectEnded(ends.Infos()[0], 0, true, false);
    EXPECT_TRUE(fields);
    EXPECT_EQ(samples, 8000);
    const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(out);
    ASSERT_GT(bytes.size(), 16000u);
    // the samples the hook cleared are what was written
    EXPECT_TRUE(std::all_of(bytes.end() - 15000, bytes.end(), [](uint8_t b) { return b == 0; }));
}

TEST_F(EncoderRunTest, InputThatNeverAnswersIsBrokenAfterTheReadTimeout) {
    testsupport::TSilentServer server;
    TFFEncoder encoder;
    encoder.SetReadTimeout(300);
    EXPECT_EQ(encoder.AddTask(server.Url()), AVERROR_EXIT);
    EXPECT_TRUE(Logged(llError, "connecting/reading timeout"));
    EXPECT_EQ(encoder.LastErrorMessage(), server.Url() + ": Immediate exit requested");
    EXPECT_EQ(encoder.Tasks().Count(), 0);
}

// A TCP peer on the loopback address that sends the first bytes of a file to the one client it
// accepts, then says nothing more while the connection stays open.
class TStallingServer {
public:
    TStallingServer(const std::string& file, size_t bytes)
        : data_(testsupport::ReadFileBytes(file)), socket_(socket(AF_INET, SOCK_STREAM, 0)) {
        data_.resize(std::min(bytes, data_.size()));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(socket_, 1) != 0 ||
            getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("cannot listen on the loopback address");
        port_ = ntohs(address.sin_port);
        thread_ = std::make_unique<TThread>([this](TThread&) { Serve(); });
        thread_->Start();
    }
    ~TStallingServer() {
        done_.SetEvent();
        shutdown(socket_, SHUT_RDWR);
        thread_->WaitFor();
        close(socket_);
    }
    std::string Url() const { return "tcp://127.0.0.1:" + std::to_string(port_); }

private:
    void Serve() {
        const int client = accept(socket_, nullptr, nullptr);
        if (client < 0) return;
        for (size_t sent = 0; sent < data_.size();) {
            const ssize_t n = send(client, data_.data() + sent, data_.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) break;
            sent += static_cast<size_t>(n);
        }
        done_.WaitFor();
        close(client);
    }

    std::vector<uint8_t> data_;
    int socket_;
    int port_ = 0;
    TEvent done_;
    std::unique_ptr<TThread> thread_;
};

TEST_F(EncoderRunTest, ReadThatStallsDuringTheRunIsBrokenAfterTheReadTimeout) {
    const std::string clip = LongClip();
    TStallingServer server(clip, testsupport::ReadFileBytes(clip).size() / 2);
    TFrameOutputAdapter adapter;
    TFrameCounter counter;
    counter.Attach(adapter);
    TFFEncoder encoder;
    encoder.SetReadTimeout(400);
    TTerminateLog ends;
    ends.Attach(encoder);
    TInputOptions input;
    input.Options = "-f nut";
    ASSERT_EQ(encoder.AddTask(server.Url(), input), 0) << encoder.LastErrorMessage();
    TOutputOptions output;
    output.Options = encodertest::kFrameRoad;
    ASSERT_EQ(encoder.SetOutput(0, adapter.OutputName(), output), 0) << encoder.LastErrorMessage();
    encoder.StartTask(1);
    ASSERT_TRUE(ends.WaitAllEnded());
    EXPECT_TRUE(Logged(llError, "connecting/reading timeout"));
    // the frames of the bytes sent arrived, then the input ended there
    EXPECT_GT(counter.Frames, 0);
    EXPECT_LT(counter.Frames, 250);
    EXPECT_EQ(counter.Closes, 1);
}

TEST_F(EncoderRunTest, EncoderGoingWhileTasksRunStopsThemFirst) {
    TFrameOutputAdapter adapters[2];
    TFrameCounter counters[2];
    std::atomic<bool> firstFrame{false};
    bool ended = false;
    {
        TFFEncoder encoder;
        encoder.OnTerminate = [&](TCustomEncoder*, const TTerminateInfo&) { ended = true; };
        encoder.OnProgress = [](TCustomEncoder*, PProgressInfo) {};
        encoder.SetPreviewBitmap(true);
        encoder.OnPreviewBitmap = [](TCustomEncoder*, const TPreviewInfo&) {};
        for (int i = 0; i < 2; i++) {
            counters[i].Attach(adapters[i]);
            ASSERT_EQ(AddFrameTask(encoder, LongClip(), adapters[i]), i);
        }
        counters[0].OnFrame = [&](int) { firstFrame = true; };
        encoder.StartTask(1);
        // (the previews need the main thread)
        ASSERT_TRUE(PumpUntil([&] { return firstFrame.load(); }));
        THangGuard guard(60000, "destroying a working encoder");
    }
    CheckSynchronize();
    EXPECT_FALSE(ended);  // its events were cleared first
    EXPECT_LT(counters[0].Frames, 250);
    EXPECT_EQ(counters[0].Closes, 1);
    EXPECT_EQ(counters[1].Headers, 0);  // never started
}

}  // namespace

namespace {

TEST_F(EncoderRunTest, StopFromAnEndReportOfAnUnthreadedRunEndsTheRest) {
    TFrameOutputAdapter adapters[3];
    TFrameCounter counters[3];
    TFFEncoder encoder;
    TTerminateLog ends;
    ends.Attach(encoder);
    for (int i = 0; i < 3; i++) {
        counters[i].Attach(adapters[i]);
        ASSERT_EQ(AddFrameTask(encoder, ShortClip(), adapters[i]), i);
    }
    // the report of the first task arrives on this thread, inside StartTask, and stops the run
    ends.OnReport = [&](const TTerminateInfo& info) {
        if (info.TaskIndex == 0) encoder.Stop(true);
    };
    {
        THangGuard guard(60000, "Stop(true) inside an unthreaded run's end report");
        encoder.StartTask(0);
    }
    ASSERT_TRUE(ends.WaitAllEnded());
    EXPECT_EQ(ends.Indexes(), (std::vector<int>{0, 1, 2, -1}));
    ExpectEnded(ends.Infos()[0], 0, true, false);
    ExpectEnded(ends.Infos()[1], 1, false, false);
    ExpectEnded(ends.Infos()[2], 2, false, false);
    EXPECT_EQ(counters[1].Headers, 0);
    EXPECT_EQ(counters[2].Headers, 0);
}

TEST_F(EncoderRunTest, StopFromAProgressReportOfAnUnthreadedRunReportsTheEndOfAllLast) {
    TFrameOutputAdapter adapters[3];
    TFrameCounter counters[3];
    TFFEncoder encoder;
    encoder.SetProgressInterval(100);
    TTerminateLog ends;
    ends.Attach(encoder);
    for (int i = 0; i < 3; i++) {
        counters[i].Attach(adapters[i]);
        ASSERT_EQ(AddFrameTask(encoder, LongClip(), adapters[i]), i);
    }
    // a frame every 2 ms or more: progress is reported on the way
    counters[0].OnFrame = [](int) { SleepMs(2); };
    // the first report stops the run; the tasks that never ran end on threads of their own
    // before the first task ends, and their reports wait for this thread
    bool stopped = false;
    encoder.OnProgress = [&](TCustomEncoder*, PProgressInfo) {
        if (stopped) return;
        stopped = true;
        encoder.Stop(false);
        EXPECT_TRUE(PumpUntil([&] {
            return encoder.Tasks().Items(1).Terminated && encoder.Tasks().Items(2).Terminated;
        }));
    };
    {
        THangGuard guard(60000, "an unthreaded run stopped from its progress report");
        encoder.StartTask(0);
    }
    ASSERT_TRUE(ends.WaitAllEnded());
    const std::vector<int> indexes = ends.Indexes();
    ASSERT_EQ(indexes.size(), 4u);
    EXPECT_EQ(indexes.back(), -1);
    EXPECT_EQ(std::set<int>(indexes.begin(), indexes.end() - 1), (std::set<int>{0, 1, 2}));
    EXPECT_TRUE(stopped);
    EXPECT_LT(counters[0].Frames, 250);
    EXPECT_EQ(counters[1].Headers, 0);
}

TEST_F(EncoderRunTest, TasksCannotBeClearedFromInsideTheUnthreadedRun) {
    TFrameOutputAdapter adapter;
    TFFEncoder encoder;
    TTerminateLog ends;
    ends.Attach(encoder);
    ASSERT_EQ(AddFrameTask(encoder, ShortClip(), adapter), 0);
    std::string refusal;
    ends.OnReport = [&](const TTerminateInfo& info) {
        if (info.TaskIndex == -1)
            refusal = testsupport::ErrorOf<Exception>([&] { encoder.ClearTasks(); });
    };
    encoder.StartTask(0);
    EXPECT_EQ(refusal, "Cannot ClearTasks while working.");
    EXPECT_EQ(ends.Indexes(), (std::vector<int>{0, -1}));
    encoder.ClearTasks();
    EXPECT_FALSE(encoder.Working());
}

TEST_F(EncoderRunTest, WithoutMainThreadEventsHandlersRunWhereTheyAreRaised) {
    TFrameOutputAdapter adapter;
    TFFEncoder encoder;
    encoder.SetTriggerEventInMainThread(false);
    TTerminateLog ends;
    ends.Attach(encoder);
    TEvent ended;
    ends.OnReport = [&](const TTerminateInfo& info) {
        if (info.TaskIndex == -1) ended.SetEvent();
    };
    std::atomic<int> progressOnMain{0}, progress{0};
    encoder.OnProgress = [&](TCustomEncoder*, PProgressInfo) {
        progress++;
        if (IsMainThread()) progressOnMain++;
    };
    ASSERT_EQ(AddFrameTask(encoder, ShortClip(), adapter), 0);
    encoder.StartTask(1);
    // nothing is queued for the main thread: the reports arrive without it
    ASSERT_EQ(ended.WaitFor(30000), TWaitResult::wrSignaled);
    EXPECT_GT(progress, 0);
    EXPECT_EQ(progressOnMain, 0);
    EXPECT_FALSE(ends.AllOnMainThread());
}

}  // namespace
