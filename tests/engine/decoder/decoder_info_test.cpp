// Opening files and describing them: the information text, the records and the summary.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "engine/decoder/FFDecode.h"
#include "engine/decoder/FileInfoText.h"
#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/log/FFLog.h"
#include "tests/common/LogCapture.h"
#include "tests/common/TestSupport.h"
#include "tests/engine/decoder/DecoderTestMedia.h"

using decodertest::Media;

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The first line that starts with `prefix` (empty when none).
std::string LineStarting(const std::vector<std::string>& lines, const std::string& prefix) {
    for (const std::string& line : lines) {
        if (line.rfind(prefix, 0) == 0) return line;
    }
    return std::string();
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class DecoderInfoTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { decodertest::LoadDecoderLibraries(); }

    std::vector<std::string> InfoLines(const std::string& file) {
        EXPECT_TRUE(decoder.LoadFile(file)) << decoder.LastErrorMessage();
        return Lines(decoder.FileInfoText());
    }

    TFFDecoder decoder;
};

TEST_F(DecoderInfoTest, Mp4WithH264DescribesFileMetadataAndStream) {
    const auto lines = InfoLines(Media().H264Mp4);
    EXPECT_EQ(lines[0], "File Name: " + Media().H264Mp4);
    EXPECT_EQ(lines[1], "Format Name: mov,mp4,m4a,3gp,3g2,mj2");
    EXPECT_EQ(lines[2], "Format Long Name: QuickTime / MOV");
    EXPECT_TRUE(Contains(lines[3], "File Size: ")) << lines[3];
    EXPECT_EQ(lines[4], "Metadata:");
    EXPECT_TRUE(HasLine(lines, "  major_brand     : isom"));
    EXPECT_EQ(LineStarting(lines, "Duration: ")
                  .rfind("Duration: 00:00:01.000, start: 0.000000, bitrate: ", 0),
              0u);

    const std::string stream = LineStarting(lines, "  Stream #0");
    EXPECT_EQ(stream.rfind("  Stream #0[0x1](und), 1/12800: Video: h264", 0), 0u) << stream;
    EXPECT_TRUE(Contains(stream, ", 25 fps, 25 tbr, 12800 tbn")) << stream;
    EXPECT_TRUE(Contains(stream, " (default)")) << stream;
    EXPECT_TRUE(Contains(stream, ", start: 0.000000, duration: 00:00:01.000")) << stream;
    // The stream's own metadata follows, indented; its language is on the stream line only.
    EXPECT_TRUE(HasLine(lines, "  Metadata:"));
    EXPECT_TRUE(HasLine(lines, "    handler_name    : VideoHandler"));
    EXPECT_EQ(LineStarting(lines, "    language"), "");
}

TEST_F(DecoderInfoTest, TransportStreamShowsProgramStartAndRates) {
    const auto lines = InfoLines(Media().Mpeg2Ts);
    EXPECT_TRUE(HasLine(lines, "Format Name: mpegts"));
    const std::string duration = LineStarting(lines, "Duration: ");
    EXPECT_EQ(duration.rfind("Duration: 00:00:01.0", 0), 0u) << duration;
    EXPECT_TRUE(Contains(duration, ", start: 1.4")) << duration;
    // The program comes first with its metadata, then its stream; no stream is left over.
    EXPECT_TRUE(HasLine(lines, "Program 1 "));
    EXPECT_TRUE(HasLine(lines, "    service_name    : Service01"));
    EXPECT_FALSE(HasLine(lines, "No Program"));
    const std::string stream = LineStarting(lines, "  Stream #0");
    EXPECT_EQ(stream.rfind("  Stream #0[0x100], 1/90000: Video: mpeg2video", 0), 0u) << stream;
    EXPECT_TRUE(Contains(stream, ", 29.97 fps, 29.97 tbr, 90k tbn")) << stream;
    EXPECT_TRUE(Contains(stream, ", start: 1.4")) << stream;
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.rfind("  Stream #", 0) == 0; }),
              1);
}

TEST_F(DecoderInfoTest, StillPictureAndAudioOnlyFiles) {
    auto lines = InfoLines(Media().StillPng);
    EXPECT_TRUE(HasLine(lines, "Format Name: png_pipe"));
    EXPECT_TRUE(HasLine(lines, "Duration: N/A, bitrate: N/A"));
    EXPECT_TRUE(Contains(LineStarting(lines, "  Stream #0"), "Video: png"));

    lines = InfoLines(Media().Mp3);
    EXPECT_TRUE(HasLine(lines, "Format Name: mp3"));
    const std::string stream = LineStarting(lines, "  Stream #0");
    EXPECT_TRUE(Contains(stream, "Audio: mp3")) << stream;
    EXPECT_TRUE(Contains(stream, "44100 Hz")) << stream;
    EXPECT_FALSE(Contains(stream, "fps")) << stream;
    EXPECT_EQ(decoder.VideoStreamCount(), 0);
    EXPECT_EQ(decoder.AudioStreamCount(), 1);
    EXPECT_EQ(decoder.FirstAudioStream(), 0);
    EXPECT_EQ(decoder.FirstVideoStream(), -1);
}

TEST_F(DecoderInfoTest, ChaptersTitlesLanguageAndDispositions) {
    testsupport::TempDir dir;
    const std::string chapters = dir.File("chapters.txt");
    std::ofstream(chapters) << ";FFMETADATA1\ntitle=Holiday\n"
                               "[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=500\ntitle=Arrival\n"
                               "[CHAPTER]\nTIMEBASE=1/1000\nSTART=500\nEND=1000\ntitle=Departure\n";
    const std::string clip = testsupport::MakeMedia(
        "-f lavfi -i testsrc=size=64x48:rate=25 -i " + testsupport::ShellQuote(chapters) +
            " -t 1 -map 0 -map_metadata 1 -map_chapters 1 -c:v mjpeg"
            " -disposition:v:0 default+forced -metadata:s:v:0 language=eng",
        dir.File("chapters.mkv"));
    const auto lines = InfoLines(clip);
    EXPECT_TRUE(HasLine(lines, "  title           : Holiday"));
    const auto chapter =
        std::find(lines.begin(), lines.end(), "Chapter #0: start 0.000000, end 0.500000");
    ASSERT_NE(chapter, lines.end());
    EXPECT_EQ(*(chapter + 1), "  Metadata:");
    EXPECT_EQ(*(chapter + 2), "    title           : Arrival");
    EXPECT_EQ(*(chapter + 3), "Chapter #1: start 0.500000, end 1.000000");
    const std::string stream = LineStarting(lines, "  Stream #0");
    EXPECT_EQ(stream.rfind("  Stream #0(eng), 1/1000: Video: mjpeg", 0), 0u) << stream;
    EXPECT_TRUE(Contains(stream, ", 25 fps, 25 tbr, 1k tbn (default) (forced), start: 0.000000"))
        << stream;
    EXPECT_EQ(decoder.GetFileInfo().Title, "Holiday");
}

TEST_F(DecoderInfoTest, SizeTextsAtTheByteAndKilobyteBoundaries) {
    // Raw grey pictures make files of an exact size; their format must be forced.
    testsupport::TempDir dir;
    const std::string small = dir.File("small.gray");
    const std::string larger = dir.File("larger.gray");
    std::ofstream(small, std::ios::binary) << std::string(1024, '\x40');
    std::ofstream(larger, std::ios::binary) << std::string(1536, '\x40');

    decoder.SetFormatOption("video_size", "32x32");
    decoder.SetFormatOption("pixel_format", "gray");
    ASSERT_TRUE(decoder.LoadFile(small, "rawvideo")) << decoder.LastErrorMessage();
    EXPECT_EQ(decoder.FileSize(), 1024);
    EXPECT_TRUE(HasLine(Lines(decoder.FileInfoText()), "File Size: 1024 Byte"));
    EXPECT_EQ(decoder.ForcedFormatName(), "rawvideo");

    // Options apply to one load only; give them again.
    decoder.SetFormatOption("video_size", "32x16");
    decoder.SetFormatOption("pixel_format", "gray");
    ASSERT_TRUE(decoder.LoadFile(larger, "rawvideo")) << decoder.LastErrorMessage();
    EXPECT_TRUE(HasLine(Lines(decoder.FileInfoText()), "File Size: 1.50 KB"));
}

TEST_F(DecoderInfoTest, BeforeFindStreamInfoSeesTheOpenedContext) {
    std::string formatSeen;
    decoder.OnBeforeFindStreamInfo = [&](TCustomDecoder* sender, AVFormatContext* context) {
        EXPECT_EQ(sender, &decoder);
        formatSeen = context->iformat->name;
    };
    ASSERT_TRUE(decoder.LoadFile(Media().MjpegAvi));
    EXPECT_EQ(formatSeen, "avi");
}

TEST_F(DecoderInfoTest, ScalerFlagsReachTheFormatConverter) {
    decoder.SetScalerFlags(2);  // bilinear
    ASSERT_TRUE(decoder.LoadFile(Media().MjpegAvi));
    EXPECT_EQ(decoder.FormatConverter().ScalerFlags(), 2);
}

TEST_F(DecoderInfoTest, UnusedFormatOptionsAreLoggedAsIgnored) {
    testsupport::TLogCapture log;
    decoder.SetFormatOption("no_such_option", "1");
    EXPECT_TRUE(decoder.LoadFile(Media().MjpegAvi));
    EXPECT_TRUE(HasLine(log.Errors(), "Option no_such_option not found, ignored."));
}

TEST_F(DecoderInfoTest, InputThatNeverAnswersTimesOut) {
    testsupport::TSilentServer server;
    testsupport::TLogCapture log;
    decoder.SetReadTimeout(300);
    EXPECT_FALSE(decoder.LoadFile(server.Url()));
    EXPECT_EQ(decoder.LastErrorMessage(), server.Url() + ": Immediate exit requested");
    EXPECT_TRUE(log.Logged(llInfo, "connecting/reading timeout"));
    EXPECT_FALSE(decoder.Loaded());
}

TEST_F(DecoderInfoTest, FileInfoAndVideoStreamInfoRecords) {
    ASSERT_TRUE(decoder.LoadFile(Media().Mpeg2Ts));
    const TFileInfo file = decoder.GetFileInfo();
    EXPECT_GT(file.StartTime, 1000000);
    EXPECT_GE(file.Duration, 1000000);
    EXPECT_GT(file.BitRate, 0);

    TVideoStreamInfo video;
    ASSERT_TRUE(decoder.GetVideoStreamInfo(-1, video));
    EXPECT_EQ(video.Width, 64);
    EXPECT_EQ(video.Height, 48);
    EXPECT_FLOAT_EQ(video.AspectRatio, 64.0f / 48.0f);
    EXPECT_EQ(video.FrameRateNum, 30000);
    EXPECT_EQ(video.FrameRateDen, 1001);
    EXPECT_NEAR(video.StartTimeUs, video.StartTime * 1000000 / 90000, 1);
    EXPECT_EQ(video.PixelFormat, 0);  // yuv420p
    EXPECT_EQ(video.CodecText.rfind("Video: mpeg2video", 0), 0u) << video.CodecText;
    EXPECT_EQ(video.CodecName, "mpeg2video");

    ASSERT_TRUE(decoder.LoadFile(Media().Mp3));
    EXPECT_FALSE(decoder.GetVideoStreamInfo(-1, video));
    EXPECT_EQ(decoder.LastErrorMessage(), "no video stream.");
    EXPECT_EQ(video.Width, -1);
    EXPECT_FALSE(decoder.GetVideoStreamInfo(0, video));
    EXPECT_EQ(decoder.LastErrorMessage(), "stream #0 is not video stream.");
    EXPECT_FALSE(decoder.GetVideoStreamInfo(3, video));
    EXPECT_EQ(decoder.LastErrorMessage(), "stream index #3 is invalid.");
}

TEST_F(DecoderInfoTest, StreamWithoutDurationReportsMinusOne) {
    testsupport::TempDir dir;
    const std::string raw = testsupport::MakeMedia(
        "-f lavfi -i testsrc=size=64x48:rate=25 -t 0.2 -c:v libx264 -f h264", dir.File("raw.h264"));
    ASSERT_TRUE(decoder.LoadFile(raw)) << decoder.LastErrorMessage();
    EXPECT_EQ(decoder.GetFileInfo().Duration, -1);
    EXPECT_EQ(LineStarting(Lines(decoder.FileInfoText()), "Duration: ").rfind("Duration: N/A", 0),
              0u);
}

TEST_F(DecoderInfoTest, QueriesWithoutAFileRecordFileNotLoaded) {
    EXPECT_EQ(decoder.FileInfoText(), "");
    EXPECT_EQ(decoder.LastErrorMessage(), "file not loaded.");
    const TFileInfo info = decoder.GetFileInfo();
    EXPECT_EQ(info.StartTime, kNoTime);
    EXPECT_EQ(info.Duration, -1);
    EXPECT_EQ(info.BitRate, -1);
    EXPECT_EQ(info.Year, -1);
    EXPECT_EQ(decoder.StreamCount(), -1);
    EXPECT_EQ(decoder.FileSize(), -1);
    EXPECT_FALSE(decoder.DecodeNextFrame());
    EXPECT_EQ(decoder.SelectVideoStream(-1), -1);
    EXPECT_FALSE(decoder.Seek(0, 0));
    EXPECT_EQ(decoder.LastErrorMessage(), "file not loaded.");
}

TEST_F(DecoderInfoTest, FailedLoadsLeaveNoFileAndSayWhy) {
    ASSERT_TRUE(decoder.LoadFile(Media().MjpegAvi));
    EXPECT_FALSE(decoder.LoadFile(Media().MjpegAvi, "no_such_format"));
    EXPECT_EQ(decoder.LastErrorMessage(), "Unknown input format: no_such_format");
    EXPECT_FALSE(decoder.Loaded());
    EXPECT_EQ(decoder.StreamCount(), -1);

    const std::string missing = Media().Dir.File("missing.avi");
    EXPECT_FALSE(decoder.LoadFile(missing));
    EXPECT_EQ(decoder.LastErrorMessage(), missing + ": No such file or directory");

    // A name too long for libavformat's buffer is refused, not cut short.
    const std::string longName = Media().Dir.Path() + "/" + std::string(2100, 'x') + ".avi";
    EXPECT_FALSE(decoder.LoadFile(longName));
    EXPECT_EQ(decoder.LastErrorMessage(), longName + ": File name too long");

    // Text that is no media at all.
    const std::string text = Media().Dir.File("notes.txt");
    std::ofstream(text) << "";
    EXPECT_FALSE(decoder.LoadFile(text));
    EXPECT_FALSE(decoder.Loaded());
}

TEST_F(DecoderInfoTest, AttachedContextIsDescribedButNeitherClosedNorSeeked) {
    TFFDecoder owner;
    ASSERT_TRUE(owner.LoadFile(Media().MjpegAvi));
    decoder.AttachFormatContext(owner.FormatContext());
    EXPECT_EQ(decoder.StreamCount(), 1);
    EXPECT_EQ(decoder.FormatName(), "avi");
    EXPECT_THROW(decoder.Seek(0, 0), Exception);
    EXPECT_EQ(decoder.LastErrorMessage(), "file cannot be seeked, handle is readonly.");
    EXPECT_THROW(decoder.DecodeNextFrame(), Exception);
    decoder.Close();
    // The owner's context is still open and usable.
    EXPECT_TRUE(owner.DecodeNextFrame());
}

TEST(FileInfoTextPieces, RatesStartsAndMetadataBlocks) {
    EXPECT_EQ(RateText(25, "fps"), ", 25 fps");
    EXPECT_EQ(RateText(30000.0 / 1001, "fps"), ", 29.97 fps");
    EXPECT_EQ(RateText(90000, "tbn"), ", 90k tbn");
    EXPECT_EQ(RateText(12800, "tbn"), ", 12800 tbn");
    EXPECT_EQ(StartText(1433367), "1.433367");
    EXPECT_EQ(StartText(-2500000), "-2.500000");
    EXPECT_EQ(StartText(-500000), "-0.500000");

    decodertest::LoadDecoderLibraries();
    AVDictionary* metadata = nullptr;
    std::vector<std::string> lines;
    libav::av_dict_set(&metadata, "language", "eng", 0);
    AppendMetadataBlock(lines, "  ", metadata);
    EXPECT_TRUE(lines.empty());
    libav::av_dict_set(&metadata, "comment", (std::string(300, 'a') + "\r").c_str(), 0);
    libav::av_dict_set(&metadata, "title", "one\rtwo", 0);
    AppendMetadataBlock(lines, "  ", metadata);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "  Metadata:");
    EXPECT_EQ(lines[1], "    comment         : " + std::string(255, 'a'));
    EXPECT_EQ(lines[2], "    title           : one two");
    libav::av_dict_free(&metadata);
}

// Probing stops 5 s into a file; a video stream that starts 8 s after the audio is probed
// further, so it has its size and pixel format and its pictures decode.
TEST_F(DecoderInfoTest, VideoStartingLateIsProbedFurther) {
    testsupport::TempDir dir;
    const std::string clip = testsupport::MakeMedia(
        "-f lavfi -i sine=frequency=440:duration=10 -itsoffset 8 -f lavfi "
        "-i testsrc=size=64x48:rate=25:duration=1 -map 0:a -map 1:v -c:v libx264 "
        "-pix_fmt yuv420p -c:a libvorbis",
        dir.File("late.mkv"));
    ASSERT_TRUE(decoder.LoadFile(clip)) << decoder.LastErrorMessage();
    TVideoStreamInfo video;
    ASSERT_TRUE(decoder.GetVideoStreamInfo(-1, video));
    EXPECT_EQ(video.Width, 64);
    EXPECT_EQ(video.PixelFormat, AV_PIX_FMT_YUV420P);
    ASSERT_TRUE(decoder.DecodeNextFrame()) << decoder.LastErrorMessage();
    EXPECT_EQ(decoder.CurrentFrameTime(), 0);  // from the stream's start
}

}  // namespace
