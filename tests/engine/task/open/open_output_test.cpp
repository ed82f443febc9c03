// Opening outputs on real clips: automatic and mapped stream choice, per-stream settings,
// metadata and chapters, attachments, and the clean-up of failed openings.
#include <fstream>
#include <memory>

#include "engine/output/FrameOutputFormats.h"
#include "tests/common/TestSupport.h"
#include "tests/engine/task/option_test_support.h"

using optiontest::TaskTest;
using testsupport::ErrorOf;
using testsupport::MakeMedia;

namespace {

class OpenOutputTest : public TaskTest {
protected:
    static void SetUpTestSuite() {
        dir_ = std::make_unique<testsupport::TempDir>();
        const std::string video = "-c:v mpeg4 -t 1 ";
        MakeMedia("-f lavfi -i testsrc=size=64x48:rate=25 " + video, dir_->File("small.nut"));
        MakeMedia("-f lavfi -i testsrc=size=128x72:rate=25 " + video, dir_->File("large.nut"));
        MakeMedia("-f lavfi -i sine=sample_rate=8000 -t 1 -ac 2 -c:a pcm_s16le",
                  dir_->File("stereo.wav"));
        MakeMedia("-f lavfi -i sine=sample_rate=8000 -t 1 -ac 6 -c:a pcm_s16le",
                  dir_->File("six.wav"));
        std::ofstream(dir_->File("chapters.txt"))
            << ";FFMETADATA1\ntitle=source\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1000\n"
               "title=first\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=1000\nEND=2000\ntitle=second\n"
               "[CHAPTER]\nTIMEBASE=1/1000\nSTART=2000\nEND=3000\ntitle=third\n";
        MakeMedia(
            "-f lavfi -i testsrc=size=64x48:rate=25 -f lavfi -i sine=sample_rate=8000 -i " +
                testsupport::ShellQuote(dir_->File("chapters.txt")) +
                " -map 0 -map 1 -map_metadata 2 -map_chapters 2 -t 3 -c:v mpeg4 -c:a pcm_s16le",
            dir_->File("av.mkv"));
    }
    static void TearDownTestSuite() { dir_.reset(); }
    static std::string File(const std::string& name) { return dir_->File(name); }

    // A task with the given inputs opened (no options).
    static void OpenInputs(TCustomFFmpeg& task, std::initializer_list<const char*> names) {
        for (const char* name : names)
            ASSERT_GE(task.OpenInputFile(nullptr, File(name)), 0) << task.LastError;
    }
    static int SourceOf(const TCustomFFmpeg& task, int ost) {
        return task.OutputStreams[ost].SourceIndex;
    }

    static std::unique_ptr<testsupport::TempDir> dir_;
};

std::unique_ptr<testsupport::TempDir> OpenOutputTest::dir_;

}  // namespace

TEST_F(OpenOutputTest, AutomaticChoiceTakesLargestPictureAndMostChannels) {
    TCustomFFmpeg task;
    OpenInputs(task, {"small.nut", "large.nut", "stereo.wav", "six.wav"});
    ASSERT_EQ(task.OpenOutputFile(File("out1.nut"), false), 0) << task.LastError;
    ASSERT_EQ(task.OutputStreams.size(), 2u);
    EXPECT_EQ(SourceOf(task, 0), 1);
    EXPECT_EQ(SourceOf(task, 1), 3);
    EXPECT_EQ(task.OutputStreams[0].SyncIstIndex, 1);
    EXPECT_FALSE(task.InputStreams[1].Discard);
    EXPECT_TRUE(task.InputStreams[0].Discard);

    TCustomFFmpeg equal;
    OpenInputs(equal, {"small.nut", "small.nut", "stereo.wav", "stereo.wav"});
    ASSERT_EQ(equal.OpenOutputFile(File("out2.nut"), false), 0) << equal.LastError;
    EXPECT_EQ(SourceOf(equal, 0), 0);
    EXPECT_EQ(SourceOf(equal, 1), 2);

    TCustomFFmpeg disabled;
    OpenInputs(disabled, {"large.nut", "six.wav"});
    disabled.ParseOptions("-vn");
    ASSERT_EQ(disabled.OpenOutputFile(File("out3.nut"), false), 0);
    ASSERT_EQ(disabled.OutputStreams.size(), 1u);
    EXPECT_EQ(disabled.OutputStreams[0].St->codecpar->codec_type, AVMEDIA_TYPE_AUDIO);
    disabled.ParseOptions("-an");
    ASSERT_EQ(disabled.OpenOutputFile(File("out4.nut"), false), 1);
    ASSERT_EQ(disabled.OutputStreams.size(), 2u);
    EXPECT_EQ(disabled.OutputStreams[1].St->codecpar->codec_type, AVMEDIA_TYPE_VIDEO);
    EXPECT_EQ(disabled.OutputFiles[1].OstIndex, 1);
}

TEST_F(OpenOutputTest, MapSelectsRemovesAndRefuses) {
    TCustomFFmpeg task;
    OpenInputs(task, {"av.mkv"});
    task.ParseOptions("-map 0:1");
    ASSERT_EQ(task.OpenOutputFile(File("map1.nut"), false), 0) << task.LastError;
    ASSERT_EQ(task.OutputStreams.size(), 1u);
    EXPECT_EQ(SourceOf(task, 0), 1);

    task.ParseOptions("-map 0 -map -0:1 -map 0:a,0:v");
    ASSERT_EQ(task.OpenOutputFile(File("map2.nut"), false), 1) << task.LastError;
    ASSERT_EQ(task.OutputStreams.size(), 3u);
    EXPECT_EQ(SourceOf(task, 1), 0);
    EXPECT_EQ(SourceOf(task, 2), 1);
    EXPECT_EQ(task.OutputStreams[2].SyncIstIndex, 0);

    EXPECT_EQ(ParseError(task, "-map 5"), "Invalid input file index: 5.");
    EXPECT_EQ(ParseError(task, "-map 0:s"), "Stream map \"0:s\" matches no streams.");
    EXPECT_EQ(ParseError(task, "-map 0,0:s"),
              "Sync stream specification in map 0,0:s does not match any streams.");
}

TEST_F(OpenOutputTest, FrontEndOutputUsesTheFrameOutputFormat) {
    RegisterFrameOutputFormats();
    TCustomFFmpeg task;
    task.ParseOptions("-ss 0.5");
    OpenInputs(task, {"large.nut"});
    task.ParseOptions(" -f rawrgb -c:v rawvideo -pix_fmt bgr24 -t 0.5 -vf \"scale=32:24\"");
    ASSERT_EQ(task.OpenOutputFile("0", false), 0) << task.LastError;
    const AVFormatContext* oc = task.OutputFiles[0].Ctx;
    EXPECT_EQ(oc->oformat, FindFrameOutputFormat("rawrgb"));
    ASSERT_EQ(task.OutputStreams.size(), 1u);
    const TOutputStream& ost = task.OutputStreams[0];
    EXPECT_STREQ(ost.Enc->name, "rawvideo");
    EXPECT_EQ(ost.EncoderContext->pix_fmt, AV_PIX_FMT_BGR24);
    EXPECT_EQ(ost.AvFilter, "scale=32:24");
    EXPECT_EQ(task.OutputFiles[0].RecordingTime, 500000);
    // The clip's 25 frames end 0.96 s in: 0.46 s are left after 0.5 s.
    EXPECT_EQ(task.Run.ProgressDuration, 460000);
    EXPECT_EQ(task.Options.RecordingTime, kNoTimeLimit);
    EXPECT_FALSE(testsupport::FileExists("0"));
}

// A piece that goes on past the input's end lasts, for the progress, as long as what is left.
TEST_F(OpenOutputTest, ProgressLengthEndsWithTheInput) {
    RegisterFrameOutputFormats();
    TCustomFFmpeg task;
    task.ParseOptions("-ss 0.25");
    OpenInputs(task, {"large.nut"});
    task.ParseOptions(" -f rawrgb -c:v rawvideo -pix_fmt bgr24 -t 600");
    ASSERT_EQ(task.OpenOutputFile("0", false), 0) << task.LastError;
    EXPECT_EQ(task.OutputFiles[0].RecordingTime, 600000000);
    EXPECT_EQ(task.Run.ProgressDuration, task.Run.TotalDuration);
    EXPECT_NEAR(task.Run.ProgressDuration, 750000, 40000);
}

TEST_F(OpenOutputTest, PerStreamEncoderSettings) {
    TCustomFFmpeg task;
    OpenInputs(task, {"av.mkv"});
    task.ParseOptions(
        "-c:v mpeg4 -c:a copy -s 32x24 -r 10 -aspect 16:9 -q:v 2 -frames:v 3 "
        "-streamid 1:9 -b:v 100k -g 5 -force_key_frames 0.5,1 -top 1 -bsf:a null");
    ASSERT_EQ(task.OpenOutputFile(File("settings.nut"), false), 0) << task.LastError;
    const TOutputStream& video = task.OutputStreams[0];
    const TOutputStream& audio = task.OutputStreams[1];
    EXPECT_EQ(video.EncoderContext->width, 32);
    EXPECT_EQ(video.EncoderContext->height, 24);
    EXPECT_EQ(video.FrameRate.num, 10);
    EXPECT_EQ(video.FrameRate.den, 1);
    EXPECT_NEAR(video.FrameAspectRatio, 16.0 / 9.0, 1e-9);
    EXPECT_TRUE(video.EncoderContext->flags & AV_CODEC_FLAG_QSCALE);
    EXPECT_EQ(video.EncoderContext->global_quality, 2 * FF_QP2LAMBDA);
    EXPECT_EQ(video.MaxFrames, 3);
    EXPECT_EQ(video.ForcedKfPts, (std::vector<int64_t>{500000, 1000000}));
    EXPECT_EQ(video.TopFieldFirst, 1);
    EXPECT_EQ(audio.MaxFrames, INT64_MAX);
    EXPECT_TRUE(audio.StreamCopy);
    EXPECT_EQ(audio.BitstreamFilters.size(), 1u);
    EXPECT_EQ(audio.St->id, 9);
    // codec options reach only the streams they name, without their specifiers
    const AVDictionaryEntry* b = libav::av_dict_get(video.Opts, "b", nullptr, 0);
    ASSERT_NE(b, nullptr);
    EXPECT_STREQ(b->value, "100k");
    EXPECT_NE(libav::av_dict_get(video.Opts, "g", nullptr, 0), nullptr);

    TCustomFFmpeg bad;
    OpenInputs(bad, {"av.mkv"});
    bad.ParseOptions("-pix_fmt nosuchpix");
    EXPECT_EQ(ErrorOf<FFmpegException>([&] { bad.OpenOutputFile(File("bad.nut"), false); }),
              "Unknown pixel format requested: nosuchpix.");
    // nothing of the failed output is left, neither records nor an empty file
    EXPECT_TRUE(bad.OutputStreams.empty());
    EXPECT_TRUE(bad.OutputFiles.empty());
    EXPECT_FALSE(testsupport::FileExists(File("bad.nut")));
}

TEST_F(OpenOutputTest, MetadataForms) {
    TCustomFFmpeg task;
    OpenInputs(task, {"av.mkv"});
    task.ParseOptions("-metadata artist=me -metadata:s:v title=pictures -metadata:s:a:0 lang=x");
    ASSERT_EQ(task.OpenOutputFile(File("meta.mkv"), false), 0) << task.LastError;
    AVFormatContext* oc = task.OutputFiles[0].Ctx;
    auto value = [](AVDictionary* d, const char* key) {
        const AVDictionaryEntry* e = libav::av_dict_get(d, key, nullptr, 0);
        return std::string(e ? e->value : "<none>");
    };
    EXPECT_EQ(value(oc->metadata, "artist"), "me");
    EXPECT_EQ(value(oc->metadata, "title"), "source");  // copied from the first input
    EXPECT_EQ(value(oc->streams[0]->metadata, "title"), "pictures");
    EXPECT_EQ(value(oc->streams[1]->metadata, "title"), "<none>");
    EXPECT_EQ(value(oc->streams[1]->metadata, "lang"), "x");

    task.ParseOptions("-map_metadata -1 -metadata title=");
    ASSERT_EQ(task.OpenOutputFile(File("meta2.mkv"), false), 1) << task.LastError;
    EXPECT_EQ(value(task.OutputFiles[1].Ctx->metadata, "title"), "<none>");

    // a failure after the file was created leaves no empty file behind
    task.ParseOptions("-metadata foo");
    EXPECT_EQ(task.OpenOutputFile(File("meta3.mkv"), false), -1);
    EXPECT_EQ(task.LastError, "No \"=\" character in metadata string foo.");
    EXPECT_FALSE(testsupport::FileExists(File("meta3.mkv")));
    EXPECT_EQ(task.OutputFiles.size(), 2u);
    EXPECT_EQ(task.OutputStreams.size(), 4u);
    EXPECT_TRUE(task.Options.Metadata.empty());  // the context is reset after a failure

    task.ParseOptions("-metadata:q x=1");
    EXPECT_EQ(task.OpenOutputFile(File("meta4.mkv"), false), -1);
    EXPECT_EQ(task.LastError, "Invalid metadata type q.");
    task.ParseOptions("-map_metadata 3");
    EXPECT_EQ(task.OpenOutputFile(File("meta5.mkv"), false), -1);
    EXPECT_EQ(task.LastError, "Invalid input file index 3 while processing metadata maps");
}

TEST_F(OpenOutputTest, ChaptersFollowTheRecordingWindow) {
    TCustomFFmpeg task;
    OpenInputs(task, {"av.mkv"});
    ASSERT_EQ(task.InputFiles[0].Ctx->nb_chapters, 3u);
    task.ParseOptions("-t 1.5");
    ASSERT_EQ(task.OpenOutputFile(File("chapters.mkv"), false), 0) << task.LastError;
    const AVFormatContext* oc = task.OutputFiles[0].Ctx;
    ASSERT_EQ(oc->nb_chapters, 2u);
    const AVChapter* second = oc->chapters[1];
    EXPECT_EQ(libav::av_rescale_q(second->end, second->time_base, AV_TIME_BASE_Q), 1500000);
    EXPECT_STREQ(libav::av_dict_get(second->metadata, "title", nullptr, 0)->value, "second");

    task.ParseOptions("-map_chapters 4");
    EXPECT_EQ(task.OpenOutputFile(File("chapters2.mkv"), false), -1);
    EXPECT_EQ(task.LastError, "Invalid input file index 4 in chapter mapping.");
}

TEST_F(OpenOutputTest, AttachmentsBecomeStreams) {
    const std::string font = File("font.ttf");
    std::ofstream(font) << "not really a font";
    TCustomFFmpeg task;
    OpenInputs(task, {"small.nut"});
    task.ParseOptions("-attach " + font + " -metadata:s:t mimetype=application/x-truetype-font");
    ASSERT_EQ(task.OpenOutputFile(File("attach.mkv"), false), 0) << task.LastError;
    ASSERT_EQ(task.OutputStreams.size(), 2u);
    const TOutputStream& ost = task.OutputStreams[1];
    EXPECT_EQ(ost.SourceIndex, -1);
    EXPECT_EQ(ost.AttachmentFilename, font);
    EXPECT_EQ(ost.St->codecpar->extradata_size, 17);
    EXPECT_STREQ(libav::av_dict_get(ost.St->metadata, "filename", nullptr, 0)->value, "font.ttf");

    task.ParseOptions("-attach " + File("nofont.ttf"));
    EXPECT_EQ(task.OpenOutputFile(File("attach2.mkv"), false), -1);
    EXPECT_EQ(task.LastError, "Could not open attachment file " + File("nofont.ttf") + ".");
}

TEST_F(OpenOutputTest, JoinAndOpeningFailures) {
    TCustomFFmpeg task;
    OpenInputs(task, {"small.nut", "large.nut"});
    ASSERT_EQ(task.OpenOutputFile(File("j1.nut"), false), 0);
    EXPECT_EQ(task.OpenOutputFile(File("j2.nut"), true), -1);
    EXPECT_EQ(task.LastError, "Cannot join more than one output file.");

    TCustomFFmpeg join;
    OpenInputs(join, {"small.nut", "large.nut"});
    join.ParseOptions("-metadata a=b");
    ASSERT_EQ(join.OpenOutputFile(File("j3.nut"), true), 0) << join.LastError;
    EXPECT_TRUE(join.JoinMode);
    EXPECT_EQ(SourceOf(join, 0), 0);              // only the first input's streams when joining
    EXPECT_EQ(join.Options.Metadata.size(), 1u);  // kept for the join
    EXPECT_EQ(join.OpenOutputFile(File("j4.nut"), false), -1);

    TCustomFFmpeg unwritable;
    OpenInputs(unwritable, {"small.nut"});
    const std::string path = File("no/such/folder/out.nut");
    EXPECT_EQ(unwritable.OpenOutputFile(path, false), -1);
    EXPECT_EQ(unwritable.LastError, path + ": No such file or directory");
    EXPECT_TRUE(unwritable.OutputStreams.empty());
    EXPECT_TRUE(unwritable.InputStreams[0].Discard);

    TCustomFFmpeg unknown;
    unknown.ParseOptions("-f nosuchmuxer");
    EXPECT_EQ(unknown.OpenOutputFile(File("x.out"), false), -1);
    EXPECT_EQ(unknown.LastError.rfind(File("x.out") + ": ", 0), 0u);
}
