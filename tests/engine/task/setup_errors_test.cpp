// What a conversion reports when it cannot be set up or meets bad data: the messages of the
// set-up, a damaged file decoded to its end, an output with nothing in it; and after every
// failure the codecs opened so far are closed.
#include <fstream>

#include "engine/core/ErrorCodes.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/task/FFmpegCodecChecks.h"
#include "engine/task/FFmpegStepFailure.h"
#include "platform/Exception.h"
#include "tests/engine/task/transcode_test_support.h"

using transcodetest::TFrameRecorder;
using transcodetest::TranscodeTest;

namespace {

class SetupErrorsTest : public TranscodeTest {
protected:
    static std::string VideoClip() {
        return Clip("video.nut", "-f lavfi -i testsrc=size=64x48:rate=25 -t 1 -c:v mpeg4");
    }
    static std::string AvClip() {
        return Clip("av.nut",
                    "-f lavfi -i testsrc=size=64x48:rate=25 -f lavfi -i "
                    "sine=sample_rate=44100 -t 1 -ac 6 -c:v mpeg4 -c:a pcm_s16le "
                    "-shortest");
    }
    // An MJPEG AVI with one picture in the middle overwritten.
    static std::string DamagedClip() {
        const std::string damaged = File("damaged.avi");
        if (testsupport::FileExists(damaged)) return damaged;
        const std::string avi =
            Clip("mjpeg.avi", "-f lavfi -i testsrc=size=64x48:rate=10 -t 3 -c:v mjpeg");
        std::vector<uint8_t> bytes = testsupport::ReadFileBytes(avi);
        // a whole JPEG picture in the middle overwritten
        auto jpegStart = [&](size_t from) {
            while (from + 1 < bytes.size() && !(bytes[from] == 0xFF && bytes[from + 1] == 0xD8))
                from++;
            return from;
        };
        const size_t at = jpegStart(bytes.size() / 2);
        const size_t next = jpegStart(at + 2);
        EXPECT_LT(next, bytes.size());
        std::fill(bytes.begin() + at, bytes.begin() + next - 8, 0x55);
        std::ofstream(damaged, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return damaged;
    }
    // Every codec the set-up opened is closed again and off the opened lists.
    static void ExpectCodecsClosed(TCustomFFmpeg& task) {
        EXPECT_TRUE(task.Run.OpenedEncoders.empty());
        EXPECT_TRUE(task.Run.OpenedDecoders.empty());
        for (const TOutputStream& ost : task.OutputStreams)
            EXPECT_TRUE(!ost.EncoderContext || !libav::avcodec_is_open(ost.EncoderContext));
        for (const TInputStream& ist : task.InputStreams)
            EXPECT_TRUE(!ist.DecoderContext || !libav::avcodec_is_open(ist.DecoderContext));
    }
};

TEST_F(SetupErrorsTest, OutputWithoutStreams) {
    TCustomFFmpeg task;
    Open(task, VideoClip(), "", File("empty.nut"), "-vn");
    EXPECT_EQ(TranscodeError(task), "Output file #0 does not contain any stream");
    EXPECT_EQ(task.LastError, "Output file #0 does not contain any stream");
    EXPECT_TRUE(Logged(llError, "Output file #0 does not contain any stream"));
    ExpectCodecsClosed(task);
}

TEST_F(SetupErrorsTest, MuxerCodecWithoutEncoder) {
    // the VC-1 test muxer asks for WMV3, which has no encoder
    TCustomFFmpeg task;
    Open(task, VideoClip(), "", File("out.rcv"), "-f vc1test");
    EXPECT_EQ(
        TranscodeError(task),
        "transcode_init() error: Invalid argument / Invalid data found when processing input");
    EXPECT_TRUE(Logged(llError, "Encoder (codec wmv3) not found for output stream #0:0 (Video)"));
    EXPECT_TRUE(Logged(llInfo, "  Stream #0:0 -> #0:0 (mpeg4 -> ?) (Video)"));
    ExpectCodecsClosed(task);
}

TEST_F(SetupErrorsTest, ExperimentalEncoderNeedsStrict) {
    TCustomFFmpeg task;
    Open(task, AvClip(), "", File("out.ogg"), "-vn -ac 2 -c:a vorbis");
    const std::string error = TranscodeError(task);
    EXPECT_EQ(error.rfind("encoder \"vorbis\" is experimental and might produce bad results.\r\n"
                          "Add \"-strict experimental\" if you want to use it.",
                          0),
              0u)
        << error;
    EXPECT_TRUE(Logged(llFatal, error));
    ExpectCodecsClosed(task);

    TCustomFFmpeg allowed;
    Open(allowed, AvClip(), "", File("allowed.ogg"), "-vn -ac 2 -c:a vorbis -strict experimental");
    allowed.Transcode();
    EXPECT_TRUE(allowed.Completed);
}

TEST_F(SetupErrorsTest, EncoderRefusingItsParametersClosesTheOthers) {
    // MP2 takes one or two channels; the video encoder before it was opened already
    TCustomFFmpeg task;
    Open(task, AvClip(), "", File("six.avi"), "-c:v mpeg4 -c:a mp2");
    EXPECT_EQ(
        TranscodeError(task),
        "transcode_init() error: Invalid argument / Invalid data found when processing input");
    EXPECT_TRUE(Logged(llError,
                       "Error while opening encoder for output stream #0:1 (Audio) - maybe "
                       "incorrect parameters such as bit_rate, rate, width or height. Please "
                       "check error log message(reported by FFLogger) to find out more detail "
                       "information."));
    ExpectCodecsClosed(task);
}

TEST_F(SetupErrorsTest, HeaderRefusedByTheOutputClosesEveryCodec) {
    // a frame output naming no adapter: its header fails once encoders and decoders are open
    TCustomFFmpeg task;
    Open(task, VideoClip(), "", "999999999", "-f rawrgb -c:v rawvideo -pix_fmt bgr24");
    EXPECT_EQ(
        TranscodeError(task),
        "transcode_init() error: Invalid argument / Invalid data found when processing input");
    EXPECT_TRUE(Logged(llError, "Invalid FrameOutputAdapter"));
    EXPECT_TRUE(Logged(llError,
                       "Could not write header for output file #0 (incorrect codec parameters ?)"));
    ExpectCodecsClosed(task);
}

TEST_F(SetupErrorsTest, FilterTextThatDoesNotParseClosesNothingOpen) {
    TCustomFFmpeg task;
    Open(task, VideoClip(), "", File("filtered.nut"), "-c:v mpeg4 -vf \"no_such_filter=1\"");
    EXPECT_EQ(TranscodeError(task),
              "Error opening filters: Invalid argument / Invalid data found when processing input");
    ExpectCodecsClosed(task);
}

TEST_F(SetupErrorsTest, DecoderRefusingItsOptionsClosesTheEncoders) {
    // raw video in a container that names its format: known without decoding a picture
    const std::string raw =
        Clip("raw.y4m", "-f lavfi -i testsrc=size=64x48:rate=25 -t 1 -pix_fmt yuv420p");
    TCustomFFmpeg task;
    Open(task, raw, "-skip_frame nonsense", File("decoded.nut"), "-c:v mpeg4");
    EXPECT_EQ(
        TranscodeError(task),
        "transcode_init() error: Invalid argument / Invalid data found when processing input");
    EXPECT_TRUE(Logged(llError, "Error while opening decoder for input stream #0:0"));
    ExpectCodecsClosed(task);
}

TEST_F(SetupErrorsTest, NamesTheLibrariesCannotTakeAreRefused) {
    TCustomFFmpeg task;
    const std::string tooLong = File(std::string(3000, 'a'));
    EXPECT_EQ(testsupport::ErrorOf<Exception>([&] {
                  task.OpenInputFile(nullptr, tooLong);
              }).rfind("File name too long (", 0),
              0u);
    EXPECT_TRUE(task.InputFiles.empty());
    ASSERT_GE(task.OpenInputFile(nullptr, VideoClip()), 0);
    EXPECT_EQ(testsupport::ErrorOf<Exception>([&] {
                  task.OpenOutputFile(tooLong, false);
              }).rfind("File name too long (", 0),
              0u);
    EXPECT_TRUE(task.OutputFiles.empty());
}

TEST_F(SetupErrorsTest, StreamCopyWithVolumeFailsBeforeAnything) {
    const std::string out = File("copied.wav");
    TCustomFFmpeg task;
    Open(task, AvClip(), "", out, "-vn -c:a copy -vol 512");
    EXPECT_EQ(TranscodeError(task),
              "-acodec copy and -vol are incompatible (frames are not decoded)");
    ExpectCodecsClosed(task);
    task.FreeFilesAndStreams();
    EXPECT_EQ(testsupport::ReadFileBytes(out).size(), 0u);  // no header was written
}

TEST_F(SetupErrorsTest, StreamCopyWithHooksOrPreviewIsRefused) {
    struct Case {
        std::function<void(TCustomFFmpeg&)> Arrange;
        std::string Message;
    };
    const std::vector<Case> cases = {
        {[](TCustomFFmpeg& t) {
             t.Routes.VideoOutputHook = [](TCustomFFmpeg*, TVideoHookCall&) {};
         },
         "-vcodec copy and VideoHook are incompatible (frames are not decoded)"},
        {[](TCustomFFmpeg& t) { t.Routes.FrameInputHook = [](TCustomFFmpeg*, TFrameHookCall&) {}; },
         "-vcodec copy and FrameHook are incompatible (frames are not decoded)"},
        {[](TCustomFFmpeg& t) { t.SetFlags(kPreviewBitmap); },
         "-vcodec copy and PostHooks are incompatible (frames are not decoded)"},
        {[](TCustomFFmpeg& t) {
             t.Routes.AudioHook = [](TCustomFFmpeg*, int64_t, uint8_t*, int, int, int,
                                     AVSampleFormat) {};
         },
         "-acodec copy and AudioHook are incompatible (frames are not decoded)"},
    };
    for (const Case& c : cases) {
        TCustomFFmpeg task;
        c.Arrange(task);
        Open(task, AvClip(), "", File("copy.mkv"), "-c copy");
        EXPECT_EQ(TranscodeError(task), c.Message);
    }
}

TEST_F(SetupErrorsTest, UnusedCodecOptionFailsOnlyWhenStrict) {
    AVDictionary* options = nullptr;
    libav::av_dict_set(&options, "no_such_option", "1", 0);
    // strict: a failure worded for the conversion's driver, which alone writes LastError
    TCustomFFmpeg strict;
    EXPECT_EQ(CheckUnusedOptions(strict, options), AVERROR_OPTION_NOT_FOUND);
    EXPECT_TRUE(Logged(llFatal, "Option no_such_option not found."));
    EXPECT_TRUE(strict.LastError.empty());
    EXPECT_EQ(TakeStepFailure(strict, AVERROR_OPTION_NOT_FOUND, "set-up"),
              "Option no_such_option not found.");
    // lenient: a warning, and the set-up goes on with nothing failed
    TCustomFFmpeg lenient;
    lenient.StrictOptions = false;
    EXPECT_EQ(CheckUnusedOptions(lenient, options), 0);
    EXPECT_TRUE(Logged(llWarning, "Option no_such_option not found."));
    EXPECT_TRUE(lenient.Run.StepFailure.empty());
    EXPECT_TRUE(lenient.LastError.empty());
    libav::av_dict_free(&options);
}

TEST_F(SetupErrorsTest, DamagedFrameIsLoggedAndTheConversionGoesOn) {
    const std::string damaged = DamagedClip();
    TFrameOutputAdapter adapter;
    TFrameRecorder recorder;
    recorder.Attach(adapter);
    TCustomFFmpeg task;
    Open(task, damaged, "", adapter.OutputName(), "-f rawrgb -c:v rawvideo -pix_fmt bgr24");
    task.Transcode();
    EXPECT_TRUE(Logged(llError, "Error while decoding stream #0:0 (Video)"));
    EXPECT_TRUE(task.Completed);
    // the lost picture's place is kept by repeating the one before it
    EXPECT_EQ(recorder.Numbers.size(), 30u);
    EXPECT_EQ(recorder.Closes, 1);
}

TEST_F(SetupErrorsTest, DecodingErrorEndsTheTaskWithExitOnError) {
    const std::string damaged = DamagedClip();
    TCustomFFmpeg task;
    Open(task, damaged, "", File("xerror.avi"), "-xerror -c:v mpeg4");
    EXPECT_EQ(TranscodeError(task), "Error while decoding stream #0:0 (Video)");
    EXPECT_EQ(task.LastError, "Error while decoding stream #0:0 (Video)");
    // told once, as the decoding error it is
    EXPECT_EQ(CountLines("Error while decoding stream #0:0 (Video)"), 1u);
    EXPECT_FALSE(Logged(llFatal, "Error while decoding stream #0:0 (Video)"));
    ExpectCodecsClosed(task);
}

TEST_F(SetupErrorsTest, BitmapDepthTheConvertersLackEndsTheConversionAtItsStart) {
    TCustomFFmpeg task;
    Open(task, VideoClip(), "", File("deep.nut"), "-VideoHookBitsPixel 12 -c:v mpeg4");
    EXPECT_EQ(TranscodeError(task), "Invalid BitsPixel 12");
    EXPECT_EQ(task.LastError, "Invalid BitsPixel 12");
    ExpectCodecsClosed(task);
}

TEST_F(SetupErrorsTest, TheFirstWordedFailureIsTheOneReported) {
    TCustomFFmpeg task;
    EXPECT_EQ(FailStep(task, kErrorOutOfMemory, "inner"), kErrorOutOfMemory);
    EXPECT_EQ(FailStep(task, kErrorOther, "outer"), kErrorOther);
    EXPECT_EQ(TakeStepFailure(task, kErrorOther, "context"), "inner");
    // once taken, a failure no step worded gets the driver's words
    EXPECT_EQ(
        TakeStepFailure(task, kErrorInvalidArgument, "transcode_init() error"),
        "transcode_init() error: Invalid argument / Invalid data found when processing input");
    EXPECT_TRUE(task.LastError.empty());
}

TEST_F(SetupErrorsTest, ZeroRecordingTimeLeavesTheOutputEmpty) {
    TFrameOutputAdapter adapter;
    TFrameRecorder recorder;
    recorder.Attach(adapter);
    TCustomFFmpeg task;
    Open(task, VideoClip(), "", adapter.OutputName(),
         "-t 0 -f rawrgb -c:v rawvideo -pix_fmt bgr24");
    task.Transcode();
    EXPECT_TRUE(recorder.Numbers.empty());
    EXPECT_EQ(recorder.Headers, 1);
    EXPECT_EQ(recorder.Closes, 1);
    EXPECT_TRUE(Logged(llWarning,
                       "Output file is empty, nothing was encoded (check -ss / -t / -frames "
                       "parameters if used)"));
    EXPECT_EQ(CountLines("muxing overhead"), 0u);  // no share of nothing
}

}  // namespace
