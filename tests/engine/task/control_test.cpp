// Control of a running conversion: the stop request (from a route, from another thread, in the
// middle of repeated frames), progress reports, the video and frame hooks and the previews.
#include <atomic>
#include <chrono>
#include <thread>

#include "engine/decoder/HeadlessPreviewWindow.h"
#include "engine/task/FFmpegVideoHooks.h"
#include "platform/Bitmap.h"
#include "platform/Exception.h"
#include "tests/engine/task/transcode_test_support.h"

using transcodetest::TFrameRecorder;
using transcodetest::TranscodeTest;

namespace {

const std::string kFrameRoad = "-f rawrgb -c:v rawvideo -pix_fmt bgr24";

class ControlTest : public TranscodeTest {
protected:
    // 2 s of 30 fps test pattern
    static std::string Pattern() {
        return Clip("pattern.nut", "-f lavfi -i testsrc=size=64x48:rate=30 -t 2 -c:v mpeg4");
    }
    // 1 s of one colour, BGR (0x40, 0x80, 0xC0)
    static std::string Plain() {
        return Clip("plain.nut",
                    "-f lavfi -i color=c=0xC08040:size=64x48:rate=25 -t 1 -c:v mpeg4 -q:v 1");
    }
    static void Fill(TBitmap& bitmap, uint8_t blue, uint8_t green, uint8_t red) {
        for (int y = 0; y < bitmap.Height(); y++) {
            uint8_t* row = bitmap.ScanLine(y);
            for (int x = 0; x < bitmap.Width(); x++) {
                row[3 * x] = blue;
                row[3 * x + 1] = green;
                row[3 * x + 2] = red;
            }
        }
    }
    static bool Near(const std::vector<uint8_t>& frame, int blue, int green, int red) {
        return std::abs(frame[0] - blue) <= 4 && std::abs(frame[1] - green) <= 4 &&
               std::abs(frame[2] - red) <= 4;
    }
};

TEST_F(ControlTest, StopFromARouteEndsTheLoopYetTrailerAndReportCome) {
    TFrameOutputAdapter adapter;
    TFrameRecorder recorder;
    recorder.Attach(adapter);
    TCustomFFmpeg task;
    adapter.OnWriteFrame = [&](TFrameOutputAdapter*, POutputFrameInfo info) {
        recorder.Numbers.push_back(info->FrameNumber);
        if (info->FrameNumber == 10) task.StopRequest = true;
    };
    Open(task, Pattern(), "", adapter.OutputName(), kFrameRoad);
    task.Transcode();
    // the round under way ends; the encoder's threads still give what they hold
    EXPECT_GE(recorder.Numbers.size(), 10u);
    EXPECT_LT(recorder.Numbers.size(), 16u);
    EXPECT_EQ(recorder.Closes, 1);
    EXPECT_TRUE(Logged(llInfo, " Lsize="));  // the final report
    EXPECT_FALSE(task.Completed);
}

TEST_F(ControlTest, StopFromAnotherThreadEndsAPacedConversion) {
    TFrameOutputAdapter adapter;
    TFrameRecorder recorder;
    recorder.Attach(adapter);
    std::atomic<int> frames{0};
    adapter.OnWriteFrame = [&](TFrameOutputAdapter*, POutputFrameInfo) { frames++; };
    TCustomFFmpeg task;
    Open(task, Pattern(), "-re", adapter.OutputName(), kFrameRoad);
    std::thread controller([&] {
        while (frames < 5) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        task.StopRequest = true;
    });
    task.Transcode();
    controller.join();
    EXPECT_LT(frames, 60);
    EXPECT_EQ(recorder.Closes, 1);
    EXPECT_FALSE(task.Completed);
}

TEST_F(ControlTest, StopCutsARunOfRepeatedFramesShort) {
    // two pictures a second into a hundred: each picture is written fifty times
    const std::string slow =
        Clip("slow.nut", "-f lavfi -i testsrc=size=64x48:rate=2 -t 2 -c:v mpeg4");
    TFrameOutputAdapter adapter;
    int frames = 0;
    TCustomFFmpeg task;
    adapter.OnWriteFrame = [&](TFrameOutputAdapter*, POutputFrameInfo) {
        if (++frames == 10) task.StopRequest = true;
    };
    Open(task, slow, "", adapter.OutputName(), kFrameRoad + " -r 100");
    task.Transcode();
    // no further frame is made; the encoder's threads still give what they hold
    EXPECT_GE(frames, 10);
    EXPECT_LT(frames, 16);
    EXPECT_FALSE(task.Completed);
}

TEST_F(ControlTest, AnAdapterHandlersErrorLeavesTheConversionAsItself) {
    for (const bool inHeader : {false, true}) {
        TFrameOutputAdapter adapter;
        TCustomFFmpeg task;
        if (inHeader)
            adapter.OnWriteHeader = [](TFrameOutputAdapter*) { throw Exception("no room"); };
        else
            adapter.OnWriteFrame = [](TFrameOutputAdapter*, POutputFrameInfo info) {
                if (info->FrameNumber == 3) throw Exception("no room");
            };
        Open(task, Plain(), "", adapter.OutputName(), kFrameRoad);
        EXPECT_EQ(testsupport::ErrorOf<Exception>([&] { task.Transcode(); }), "no room");
        EXPECT_FALSE(task.Completed);
        EXPECT_TRUE(task.Run.OpenedEncoders.empty());
        EXPECT_TRUE(task.Run.OpenedDecoders.empty());
    }
}

TEST_F(ControlTest, ProgressComesAtMostOncePerIntervalThenAFinalReport) {
    TFrameOutputAdapter adapter;
    TCustomFFmpeg task;
    task.ProgressInterval = 100000;
    std::vector<TTaskProgress> reports;
    task.Routes.Progress = [&](TCustomFFmpeg* sender, const TTaskProgress& progress) {
        EXPECT_EQ(sender, &task);
        reports.push_back(progress);
    };
    Open(task, Pattern(), "-re", adapter.OutputName(), kFrameRoad);
    task.Transcode();
    // 2 s paced at the input's rate: at most one report every 100 ms, and the final one
    ASSERT_GE(reports.size(), 3u);
    EXPECT_LE(reports.size(), 22u);
    for (size_t i = 0; i + 1 < reports.size(); i++) EXPECT_EQ(reports[i].FileIndex, 0);
    const TTaskProgress& last = reports.back();
    EXPECT_EQ(last.FileIndex, -1);
    EXPECT_EQ(last.FrameNumber, 60);
    EXPECT_EQ(last.OutputTime, 2000000);
    EXPECT_NEAR(last.TotalDuration, 2000000, 40000);
    EXPECT_EQ(CountLines("frame="), 0u);  // the route gets the reports, the log does not
}

TEST_F(ControlTest, FinalReportWithoutVideoHasNoFrameNumber) {
    const std::string wav =
        Clip("tone.wav", "-f lavfi -i sine=sample_rate=8000 -t 1 -c:a pcm_s16le");
    TCustomFFmpeg task;
    TTaskProgress last;
    task.Routes.Progress = [&](TCustomFFmpeg*, const TTaskProgress& progress) { last = progress; };
    Open(task, wav, "", File("tone_copy.wav"), "");
    task.Transcode();
    EXPECT_EQ(last.FileIndex, -1);
    EXPECT_EQ(last.FrameNumber, -1);
    EXPECT_EQ(last.FPS, -1);
    EXPECT_GT(last.OutputSize, 16000);
}

TEST_F(ControlTest, OutputVideoHookChangesReachTheEncoderWhenUpdated) {
    for (const bool update : {true, false}) {
        TFrameOutputAdapter adapter;
        TFrameRecorder recorder;
        recorder.Attach(adapter);
        TCustomFFmpeg task;
        std::vector<int> numbers;
        task.Routes.VideoOutputHook = [&](TCustomFFmpeg*, TVideoHookCall& call) {
            EXPECT_EQ(call.Bitmap->Width(), 64);
            numbers.push_back(call.FrameNumber);
            Fill(*call.Bitmap, 10, 20, 30);
            call.Update = update;
        };
        Open(task, Plain(), "", adapter.OutputName(), kFrameRoad);
        task.Transcode();
        ASSERT_EQ(numbers.size(), 25u);
        EXPECT_EQ(numbers.front(), 1);
        EXPECT_EQ(numbers.back(), 25);
        EXPECT_TRUE(update ? Near(recorder.LastFrame, 10, 20, 30)
                           : Near(recorder.LastFrame, 0x40, 0x80, 0xC0));
    }
}

TEST_F(ControlTest, InputVideoHookChangesThePictureBeforeTheFilters) {
    TFrameOutputAdapter adapter;
    TFrameRecorder recorder;
    recorder.Attach(adapter);
    TCustomFFmpeg task;
    int calls = 0;
    task.Routes.VideoInputHook = [&](TCustomFFmpeg*, TVideoHookCall& call) {
        EXPECT_EQ(call.FrameNumber, ++calls);
        Fill(*call.Bitmap, 200, 100, 50);
    };
    Open(task, Plain(), "", adapter.OutputName(), kFrameRoad + " -vf \"scale=32:24\"");
    task.Transcode();
    EXPECT_EQ(calls, 25);
    EXPECT_EQ(recorder.Width, 32);
    EXPECT_TRUE(Near(recorder.FirstFrame, 200, 100, 50));
}

TEST_F(ControlTest, StopHookEndsAHookAndAFailingHandlerChangesNothing) {
    TFrameOutputAdapter adapter;
    TFrameRecorder recorder;
    recorder.Attach(adapter);
    TCustomFFmpeg task;
    int stopping = 0, failing = 0;
    task.Routes.VideoInputHook = [&](TCustomFFmpeg*, TVideoHookCall& call) {
        stopping++;
        call.StopHook = true;
    };
    task.Routes.VideoOutputHook = [&](TCustomFFmpeg*, TVideoHookCall& call) {
        failing++;
        Fill(*call.Bitmap, 0, 0, 0);
        throw Exception("boom");
    };
    Open(task, Plain(), "", adapter.OutputName(), kFrameRoad);
    task.Transcode();
    EXPECT_EQ(stopping, 1);
    EXPECT_FALSE(task.Routes.VideoInputHook);
    EXPECT_EQ(failing, 25);
    EXPECT_EQ(CountLines("Error occurs VideoHook event: boom"), 25u);
    EXPECT_TRUE(Near(recorder.LastFrame, 0x40, 0x80, 0xC0));
    EXPECT_EQ(recorder.Numbers.size(), 25u);
}

TEST_F(ControlTest, FrameHooksWorkOnThePlanesInPlace) {
    TFrameOutputAdapter adapter;
    TFrameRecorder recorder;
    recorder.Attach(adapter);
    TCustomFFmpeg task;
    std::vector<int> inputFormats, outputNumbers;
    task.Routes.FrameInputHook = [&](TCustomFFmpeg*, TFrameHookCall& call) {
        inputFormats.push_back(call.PixFmt);
        EXPECT_EQ(call.Width, 64);
        EXPECT_EQ(call.Height, 48);
    };
    task.Routes.FrameOutputHook = [&](TCustomFFmpeg*, TFrameHookCall& call) {
        outputNumbers.push_back(call.FrameNumber);
        EXPECT_EQ(call.PixFmt, AV_PIX_FMT_BGR24);
        // the first pixel of the picture becomes white
        call.Picture->data[0][0] = call.Picture->data[0][1] = call.Picture->data[0][2] = 255;
    };
    Open(task, Plain(), "", adapter.OutputName(), kFrameRoad);
    task.Transcode();
    ASSERT_EQ(inputFormats.size(), 25u);
    EXPECT_EQ(inputFormats[0], AV_PIX_FMT_YUV420P);
    ASSERT_EQ(outputNumbers.size(), 25u);
    EXPECT_EQ(outputNumbers[24], 25);
    EXPECT_TRUE(Near(recorder.LastFrame, 255, 255, 255));
    const std::vector<uint8_t> second(recorder.LastFrame.begin() + 3, recorder.LastFrame.end());
    EXPECT_TRUE(Near(second, 0x40, 0x80, 0xC0));
}

TEST_F(ControlTest, HookModuleSeesEveryDecodedPicture) {
    TFrameOutputAdapter adapter;
    TFrameRecorder recorder;
    recorder.Attach(adapter);
    TCustomFFmpeg task;
    // the module writes luma 7 at the start of every row
    Open(task, Plain(), "", adapter.OutputName(),
         kFrameRoad + " -vhook \"" + CLIPGIF_HOOK_DIR + "/hook_full.so|7\"");
    task.Transcode();
    ASSERT_EQ(recorder.Numbers.size(), 25u);
    const std::vector<uint8_t>& frame = recorder.LastFrame;
    EXPECT_LT(frame[0] + frame[1] + frame[2], 60);  // the first column went dark
    const std::vector<uint8_t> middle(frame.begin() + 3 * 32, frame.end());
    EXPECT_TRUE(Near(middle, 0x40, 0x80, 0xC0));

    TCustomFFmpeg copy;
    copy.ParseOptions("-vhook \"" + std::string(CLIPGIF_HOOK_DIR) + "/hook_full.so\"");
    Open(copy, Plain(), "", File("hooked_copy.nut"), "-c:v copy");
    EXPECT_EQ(TranscodeError(copy),
              "-vcodec copy and -vhook are incompatible (frames are not decoded)");
}

TEST_F(ControlTest, PreviewBitmapsComeAtMostTenTimesASecond) {
    TFrameOutputAdapter adapter;
    TCustomFFmpeg task;
    int previews = 0, width = 0;
    task.Routes.PreviewBitmap = [&](TCustomFFmpeg*, TBitmap& bitmap, int, int64_t) {
        previews++;
        width = bitmap.Width();
    };
    task.SetFlags(kPreviewBitmap);
    Open(task, Pattern(), "-re", adapter.OutputName(), kFrameRoad + " -vf \"scale=32:24\"");
    task.Transcode();
    // 2 s paced at the input's rate of 30 frames a second
    EXPECT_GE(previews, 2);
    EXPECT_LE(previews, 21);
    EXPECT_EQ(width, 32);
}

// A headless window whose user closes it after its second picture.
class TClosingWindow : public THeadlessPreviewWindow {
public:
    explicit TClosingWindow(int& paints) : paints_(paints) {}
    void Paint(const TBitmap& bitmap) override {
        THeadlessPreviewWindow::Paint(bitmap);
        if (++paints_ == 2) UserClose();
    }

private:
    int& paints_;
};

TEST_F(ControlTest, PreviewWindowShowsFramesUntilTheUserClosesIt) {
    int paints = 0;
    SetPreviewWindowFactory([&] { return std::make_unique<TClosingWindow>(paints); });
    TFrameOutputAdapter adapter;
    TCustomFFmpeg task;
    task.PreviewInterval = 0;  // every frame
    task.SetFlags(kPreviewWindow);
    Open(task, Plain(), "", adapter.OutputName(), kFrameRoad);
    task.Transcode();
    SetPreviewWindowFactory(nullptr);
    EXPECT_EQ(paints, 2);
    EXPECT_EQ(task.Flags(), 0);
    EXPECT_FALSE(task.VideoHooks->Preview.Window);
}

}  // namespace
