// Opening inputs on real clips: the start seek with a container start time, input stream
// records, stream specifiers, attachments dumped to files, and the failures.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <future>
#include <memory>
#include <thread>

#include "engine/task/options/FFmpegStreamSpecifier.h"
#include "tests/common/TestSupport.h"
#include "tests/engine/task/option_test_support.h"

using optiontest::TaskTest;
using testsupport::ErrorOf;
using testsupport::MakeMedia;

namespace {

class OpenInputTest : public TaskTest {
protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<testsupport::TempDir>();
        // MPEG-TS starts its clock at 1.4 s
        MakeMedia(
            "-f lavfi -i testsrc=size=64x48:rate=25 -f lavfi -i sine=sample_rate=8000 -t 4 "
            "-c:v mpeg2video -c:a mp2",
            dir_->File("clip.ts"));
        std::ofstream(dir_->File("note.txt")) << "attached text\n";
        MakeMedia(
            "-f lavfi -i testsrc=size=64x48:rate=25 -f lavfi -i sine=sample_rate=8000 -t 1 "
            "-c:v mpeg4 -c:a pcm_s16le -metadata title=clip -attach " +
                testsupport::ShellQuote(dir_->File("note.txt")) +
                " -metadata:s:t mimetype=text/plain",
            dir_->File("attached.mkv"));
    }
    static void TearDownTestSuite() { dir_.reset(); }
    static std::string File(const char* name) { return dir_->File(name); }

    static std::unique_ptr<testsupport::TempDir> dir_;
};

std::unique_ptr<testsupport::TempDir> OpenInputTest::dir_;

}  // namespace

TEST_F(OpenInputTest, StartSeekCountsTheContainerStartTime) {
    TCustomFFmpeg task;
    task.ParseOptions("-ss 1.5 -t 2");
    ASSERT_EQ(task.OpenInputFile(nullptr, File("clip.ts")), 0) << task.LastError;
    const TInputFile& f = task.InputFiles[0];
    const int64_t containerStart = f.Ctx->start_time;
    ASSERT_GT(containerStart, 0);
    EXPECT_EQ(f.TsOffset, -(1500000 + containerStart));
    EXPECT_EQ(task.Run.TotalDuration, f.Ctx->duration - 1500000);
    EXPECT_EQ(f.NbStreams, 2);
    EXPECT_EQ(f.IstIndex, 0);
    // the context is reset but keeps -t for the output
    EXPECT_EQ(task.Options.StartTime, 0);
    EXPECT_EQ(task.Options.RecordingTime, 2000000);
    ASSERT_EQ(task.InputStreams.size(), 2u);
    for (const TInputStream& ist : task.InputStreams) {
        EXPECT_TRUE(ist.Discard);
        EXPECT_NE(ist.Decoder, nullptr);
        EXPECT_NE(ist.DecoderContext, nullptr);
    }
    // a second input: indices continue, the offset follows -itsoffset and -copyts
    task.ParseOptions("-itsoffset 2 -copyts");
    ASSERT_EQ(task.OpenInputFile(nullptr, File("attached.mkv")), 1) << task.LastError;
    EXPECT_EQ(task.InputFiles[1].IstIndex, 2);
    EXPECT_EQ(task.InputFiles[1].TsOffset, 2000000);
    EXPECT_EQ(task.InputStreams[3].FileIndex, 1);
}

TEST_F(OpenInputTest, PerStreamInputOptions) {
    TCustomFFmpeg task;
    task.ParseOptions("-an -itsscale:v 2 -tag:v XVID -c:a pcm_s16le");
    ASSERT_EQ(task.OpenInputFile(nullptr, File("attached.mkv")), 0) << task.LastError;
    const TInputStream& video = task.InputStreams[0];
    const TInputStream& audio = task.InputStreams[1];
    EXPECT_DOUBLE_EQ(video.TsScale, 2.0);
    EXPECT_DOUBLE_EQ(audio.TsScale, 1.0);
    EXPECT_EQ(video.St->codecpar->codec_tag, MKTAG('X', 'V', 'I', 'D'));
    EXPECT_EQ(audio.St->discard, AVDISCARD_ALL);
    EXPECT_EQ(video.St->discard, AVDISCARD_DEFAULT);
    EXPECT_STREQ(audio.Decoder->name, "pcm_s16le");

    TCustomFFmpeg wrong;
    wrong.ParseOptions("-c:v mp2");
    EXPECT_EQ(ErrorOf<FFmpegException>([&] { wrong.OpenInputFile(nullptr, File("attached.mkv")); }),
              "Invalid decoder type 'mp2'");
    EXPECT_TRUE(wrong.InputStreams.empty());
    EXPECT_TRUE(wrong.InputFiles.empty());
}

TEST_F(OpenInputTest, StreamSpecifiers) {
    TCustomFFmpeg task;
    ASSERT_EQ(task.OpenInputFile(nullptr, File("attached.mkv")), 0) << task.LastError;
    AVFormatContext* ic = task.InputFiles[0].Ctx;
    ASSERT_EQ(ic->nb_streams, 3u);
    AVStream* video = ic->streams[0];
    AVStream* audio = ic->streams[1];
    AVStream* attachment = ic->streams[2];
    EXPECT_EQ(check_stream_specifier(ic, video, ""), 1);
    EXPECT_EQ(check_stream_specifier(ic, audio, "1"), 1);
    EXPECT_EQ(check_stream_specifier(ic, audio, "0"), 0);
    EXPECT_EQ(check_stream_specifier(ic, video, "v"), 1);
    EXPECT_EQ(check_stream_specifier(ic, video, "a"), 0);
    EXPECT_EQ(check_stream_specifier(ic, audio, "a:0"), 1);
    EXPECT_EQ(check_stream_specifier(ic, audio, "a:1"), 0);
    EXPECT_EQ(check_stream_specifier(ic, attachment, "t"), 1);
    EXPECT_EQ(check_stream_specifier(ic, video, "p:1"), 0);
    EXPECT_EQ(check_stream_specifier(ic, video, "x"), -22);
    EXPECT_EQ(check_stream_specifier(ic, video, "v:z"), -22);
}

TEST_F(OpenInputTest, DumpAttachmentWritesOnlyNewFilesUnlessOverwriting) {
    const std::string target = File("dumped.txt");
    TCustomFFmpeg task;
    task.ParseOptions("-dump_attachment:t " + target);
    ASSERT_EQ(task.OpenInputFile(nullptr, File("attached.mkv")), 0) << task.LastError;
    EXPECT_EQ(testsupport::ReadFileBytes(target), testsupport::ReadFileBytes(File("note.txt")));

    TCustomFFmpeg again;
    again.ParseOptions("-dump_attachment:t " + target);
    ASSERT_EQ(again.OpenInputFile(nullptr, File("attached.mkv")), 0);
    EXPECT_EQ(again.LastError, "File \"" + target + "\" already exists. Ignore.");

    TCustomFFmpeg audio;
    audio.ParseOptions("-dump_attachment:a " + File("none.bin"));
    ASSERT_EQ(audio.OpenInputFile(nullptr, File("attached.mkv")), 0);
    EXPECT_FALSE(testsupport::FileExists(File("none.bin")));
    EXPECT_TRUE(Logged(llWarning, "No extradata to dump in stream #0:1."));
}

TEST_F(OpenInputTest, FailuresReturnTheLibraryCodeWithItsText) {
    TCustomFFmpeg task;
    task.ParseOptions("-f nosuchformat");
    const std::string missing = File("missing.avi");
    EXPECT_EQ(task.OpenInputFile(nullptr, missing), -22);
    EXPECT_EQ(task.LastError, "Unknown input format: \"nosuchformat\"");
    EXPECT_TRUE(Logged(llFatal, "Unknown input format: \"nosuchformat\""));

    TCustomFFmpeg plain;
    EXPECT_EQ(plain.OpenInputFile(nullptr, missing), AVERROR(ENOENT));
    EXPECT_EQ(plain.LastError, missing + ": No such file or directory");
    EXPECT_TRUE(plain.InputFiles.empty());

    TCustomFFmpeg strict;
    strict.ParseOptions("-probesize 5000 -muxrate 10");
    EXPECT_EQ(ErrorOf<FFmpegException>([&] { strict.OpenInputFile(nullptr, File("clip.ts")); }),
              "Option muxrate not found.");
    TCustomFFmpeg lenient;
    lenient.StrictOptions = false;
    lenient.ParseOptions("-muxrate 10");
    EXPECT_EQ(lenient.OpenInputFile(nullptr, File("clip.ts")), 0);
    EXPECT_EQ(lenient.LastError, "Option muxrate not found.");
}

TEST_F(OpenInputTest, PipeIsRefusedInsteadOfWaitingForAWriter) {
    const std::string fifo = File("fifo.ts");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    TCustomFFmpeg task;
    std::promise<int> opened;
    std::future<int> result = opened.get_future();
    std::thread opener([&] { opened.set_value(task.OpenInputFile(nullptr, "file:" + fifo)); });
    if (result.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        // Release the waiting open so the test can end.
        close(open(fifo.c_str(), O_WRONLY));
        ADD_FAILURE() << "opening a pipe nobody writes to did not return";
    }
    opener.join();
    EXPECT_EQ(result.get(), -22);
    EXPECT_EQ(task.LastError, "file:" + fifo + ": Cannot read from a pipe or socket");
    unlink(fifo.c_str());
}

TEST_F(TaskTest, InterruptCallbacksEnforceStopAndTimeOuts) {
    TCustomFFmpeg task;
    EXPECT_EQ(TCustomFFmpeg::InputInterrupt(&task), 0);  // no call under way
    task.ReadTimeout = 1000;
    task.Run.InputIOStart.StartAt(TIOWatchdog::Now() - 2000000);
    EXPECT_EQ(TCustomFFmpeg::InputInterrupt(&task), 1);
    EXPECT_TRUE(Logged(llError, "connecting/reading timeout"));
    task.Run.InputIOStart.Start();
    EXPECT_EQ(TCustomFFmpeg::InputInterrupt(&task), 0);
    task.Run.OutputIOStart.Cancel();
    EXPECT_EQ(TCustomFFmpeg::OutputInterrupt(&task), 1);
    EXPECT_TRUE(Logged(llInfo, "connecting/writing canceled"));
    task.WriteTimeout = 0;
    EXPECT_EQ(TCustomFFmpeg::OutputInterrupt(&task), 0);
    task.StopRequest = true;
    EXPECT_EQ(TCustomFFmpeg::OutputInterrupt(&task), 1);
    EXPECT_TRUE(Logged(llInfo, "reading/writing broken"));
}

TEST_F(TaskTest, InputThatNeverAnswersTimesOut) {
    testsupport::TSilentServer server;
    TCustomFFmpeg task;
    task.ReadTimeout = 300;
    EXPECT_EQ(task.OpenInputFile(nullptr, server.Url()), AVERROR_EXIT);
    EXPECT_TRUE(Logged(llError, "connecting/reading timeout"));
    EXPECT_EQ(task.LastError, server.Url() + ": Immediate exit requested");
    EXPECT_TRUE(task.InputFiles.empty());
}

TEST_F(OpenInputTest, FailedSeekStillOpensTheInput) {
    TCustomFFmpeg task;
    task.ParseOptions("-f lavfi -ss 1");
    const std::string graph = "testsrc=size=32x24:rate=25";
    ASSERT_EQ(task.OpenInputFile(nullptr, graph), 0) << task.LastError;
    EXPECT_TRUE(Logged(llWarning, graph + ": could not seek to position 1.000"));
}

TEST_F(OpenInputTest, TargetTakesTheNormFromTheInputs) {
    TCustomFFmpeg task;
    ASSERT_EQ(task.OpenInputFile(nullptr, File("clip.ts")), 0) << task.LastError;
    task.ParseOptions("-target dvd");
    EXPECT_TRUE(Logged(llInfo, "Assuming PAL for target."));
    EXPECT_EQ(task.Options.FrameSizes[0].Value, "720x576");
    EXPECT_EQ(task.Options.FormatName, "dvd");
    EXPECT_EQ(task.AudioCodecName, "ac3");
}
