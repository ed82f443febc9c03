#include "engine/output/FrameOutput.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/output/FrameOutputFormats.h"
#include "platform/Exception.h"
#include "tests/common/LogCapture.h"
#include "tests/common/TestSupport.h"
#include "tests/engine/media_test_support.h"

namespace {

using testsupport::ErrorOf;

// Records the events an adapter raises as "header 32x24", "frame 1 2304", "close".
void Record(TFrameOutputAdapter& adapter, std::vector<std::string>& events) {
    adapter.OnWriteHeader = [&events](TFrameOutputAdapter* sender) {
        const POutputFrameInfo info = sender->CurrentFrameInfo();
        EXPECT_EQ(info->Adapter, sender);
        EXPECT_EQ(info->PixelFormat, AV_PIX_FMT_BGR24);
        events.push_back("header " + std::to_string(info->Width) + "x" +
                         std::to_string(info->Height));
    };
    adapter.OnWriteFrame = [&events](TFrameOutputAdapter*, POutputFrameInfo info) {
        events.push_back("frame " + std::to_string(info->FrameNumber) + " " +
                         std::to_string(info->Packet->size));
    };
    adapter.OnWriteClose = [&events](TFrameOutputAdapter*) { events.push_back("close"); };
}

struct TContextDeleter {
    void operator()(AVFormatContext* context) const { libav::avformat_free_context(context); }
};
using TContextPtr = std::unique_ptr<AVFormatContext, TContextDeleter>;

// A "rawrgb" output named `name` with one raw bgr24 32x24 stream, as a conversion opens it.
TContextPtr OpenOutput(const std::string& name) {
    AVFormatContext* context = nullptr;
    const AVOutputFormat* format = GuessOutputFormat("rawrgb", nullptr, nullptr);
    EXPECT_GE(libav::avformat_alloc_output_context2(&context, format, nullptr, name.c_str()), 0);
    AVStream* stream = libav::avformat_new_stream(context, nullptr);
    stream->time_base = AVRational{1, 25};
    stream->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    stream->codecpar->codec_id = AV_CODEC_ID_RAWVIDEO;
    stream->codecpar->format = AV_PIX_FMT_BGR24;
    stream->codecpar->width = 32;
    stream->codecpar->height = 24;
    return TContextPtr(context);
}

// Writes `count` packets of one picture each, every other one through the interleaving call.
int WriteFrames(AVFormatContext* context, int count) {
    AVPacket* packet = libav::av_packet_alloc();
    int result = 0;
    for (int i = 0; i < count && result >= 0; ++i) {
        libav::av_packet_unref(packet);  // av_write_frame leaves the packet to the caller
        result = libav::av_new_packet(packet, 32 * 24 * 3);
        packet->pts = packet->dts = i;
        if (result >= 0)
            result = (i % 2) ? libav::av_interleaved_write_frame(context, packet)
                             : libav::av_write_frame(context, packet);
    }
    libav::av_packet_free(&packet);
    return result;
}

// Expects RaiseFrameOutputError to raise `message`, once.
void ExpectRaised(AVFormatContext* context, const char* message) {
    EXPECT_EQ(ErrorOf<Exception>([&] { RaiseFrameOutputError(context); }), message);
    EXPECT_NO_THROW(RaiseFrameOutputError(context));
}

class FrameOutputTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        mediatest::LoadMediaLibraries();
        RegisterFrameOutputFormats();
    }
    testsupport::TLogCapture log;
};

TEST_F(FrameOutputTest, RegisteringTwiceListsEachFormatOnce) {
    RegisterFrameOutputFormats();
    const std::vector<std::string> expected = {"rawh263", "rawh264", "rawmjpeg", "rawyuv",
                                               "rawrgb"};
    EXPECT_EQ(FrameOutputFormatNames(), expected);
    // Names are exact; other names fall through to libavformat's muxers.
    EXPECT_EQ(GuessOutputFormat("rawrgb", nullptr, nullptr), FindFrameOutputFormat("rawrgb"));
    EXPECT_EQ(FindFrameOutputFormat("RAWRGB"), nullptr);
    const AVOutputFormat* rawvideo = GuessOutputFormat("rawvideo", nullptr, nullptr);
    ASSERT_NE(rawvideo, nullptr);
    EXPECT_FALSE(IsFrameOutputFormat(rawvideo));
}

TEST_F(FrameOutputTest, RawRgbOutputRaisesHeaderFramesAndClose) {
    TFrameOutputAdapter adapter;
    std::vector<std::string> events;
    Record(adapter, events);
    TContextPtr context = OpenOutput(adapter.OutputName());
    ASSERT_EQ(libav::avformat_write_header(context.get(), nullptr), 0);
    ASSERT_EQ(WriteFrames(context.get(), 25), 0);
    ASSERT_EQ(libav::av_write_trailer(context.get()), 0);
    std::vector<std::string> expected = {"header 32x24"};
    for (int number = 1; number <= 25; ++number)
        expected.push_back("frame " + std::to_string(number) + " 2304");
    expected.push_back("close");
    EXPECT_EQ(events, expected);
    EXPECT_EQ(adapter.CurrentFrameInfo(), nullptr);  // libavformat has freed the record
    EXPECT_TRUE(log.Errors().empty());
}

TEST_F(FrameOutputTest, OutputNamingNoLiveAdapterIsRefused) {
    std::string gone;
    {
        TFrameOutputAdapter adapter;
        gone = adapter.OutputName();
    }
    const std::string parseLine =
        "Could not parse FrameOutputAdapter: \"abc\", it should be address of FrameOutputAdapter";
    for (auto [name, line] : {std::pair{std::string("abc"), parseLine},
                              {"0", "Invalid FrameOutputAdapter"},
                              {"987654321987", "Invalid FrameOutputAdapter"},
                              {gone, "Invalid FrameOutputAdapter"}}) {
        SCOPED_TRACE(name);
        // An info line in between, so that a repeated error line is not folded into a count.
        libav::av_log(nullptr, AV_LOG_INFO, "output %s\n", name.c_str());
        TFrameOutputAdapter adapter;
        std::vector<std::string> events;
        Record(adapter, events);
        TContextPtr context = OpenOutput(name);
        EXPECT_EQ(libav::avformat_write_header(context.get(), nullptr), AVERROR(EINVAL));
        EXPECT_TRUE(log.Logged(llError, line)) << line;
        EXPECT_TRUE(events.empty());
    }
}

TEST_F(FrameOutputTest, HandlerErrorFailsTheWriteAndIsRaisedAgain) {
    TFrameOutputAdapter adapter;
    adapter.OnWriteFrame = [](TFrameOutputAdapter*, POutputFrameInfo info) {
        if (info->FrameNumber == 3) throw Exception("frame sink full");
    };
    TContextPtr context = OpenOutput(adapter.OutputName());
    ASSERT_EQ(libav::avformat_write_header(context.get(), nullptr), 0);
    EXPECT_EQ(WriteFrames(context.get(), 5), AVERROR_EXTERNAL);
    EXPECT_TRUE(log.Logged(llError, "frame sink full"));
    ExpectRaised(context.get(), "frame sink full");
    context.reset();  // freed without a trailer: the adapter lets go of the record too
    EXPECT_EQ(adapter.CurrentFrameInfo(), nullptr);

    adapter.OnWriteClose = [](TFrameOutputAdapter*) { throw Exception("cannot save"); };
    context = OpenOutput(adapter.OutputName());
    ASSERT_EQ(libav::avformat_write_header(context.get(), nullptr), 0);
    EXPECT_EQ(libav::av_write_trailer(context.get()), AVERROR_EXTERNAL);
    ExpectRaised(context.get(), "cannot save");
}

// An adapter without events, or one destroyed while its output runs, lets the output finish.
TEST_F(FrameOutputTest, OutputRunsOnWithoutEvents) {
    auto adapter = std::make_unique<TFrameOutputAdapter>();
    TContextPtr context = OpenOutput(adapter->OutputName());
    ASSERT_EQ(libav::avformat_write_header(context.get(), nullptr), 0);
    ASSERT_EQ(WriteFrames(context.get(), 2), 0);
    int frames = 0;
    adapter->OnWriteFrame = [&frames](TFrameOutputAdapter*, POutputFrameInfo) { ++frames; };
    ASSERT_EQ(WriteFrames(context.get(), 2), 0);
    adapter.reset();
    EXPECT_EQ(WriteFrames(context.get(), 2), 0);
    EXPECT_EQ(libav::av_write_trailer(context.get()), 0);
    EXPECT_EQ(frames, 2);
}

}  // namespace
