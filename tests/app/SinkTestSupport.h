#pragma once
// The frame sink under test the way a conversion drives it: a real frame output adapter fed
// through a real "rawrgb" output by BGR24 packets with timestamps, a window that records what
// it is asked to do, and ways to read the saved GIF back (the project's reader and ffmpeg).
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/FrameSink.h"
#include "app/core/SinkWindow.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avformat.h"
#include "engine/output/FrameOutput.h"
#include "engine/output/FrameOutputFormats.h"
#include "gif/model/GIFExtensions.h"
#include "gif/model/GIFImage.h"
#include "platform/Bitmap.h"
#include "tests/common/TestSupport.h"
#include "tests/engine/media_test_support.h"

namespace sinktest {

// Records the window calls: log lines apart, the rest as "preview #3 2x1", "show", "busy",
// "default".
class TRecordingWindow : public TSinkWindow {
public:
    void LogLine(std::string_view line) override { Lines.emplace_back(line); }
    bool PreviewWanted() override { return Preview; }
    void PreviewFrame(const TBitmap& frame, int frameNumber) override {
        Calls.push_back("preview #" + std::to_string(frameNumber) + " " +
                        std::to_string(frame.Width()) + "x" + std::to_string(frame.Height()));
        Previewed = frame;
    }
    void ShowPreview() override { Calls.push_back("show"); }
    void SetBusyCursor(bool busy) override { Calls.push_back(busy ? "busy" : "default"); }

    bool Preview = false;
    std::vector<std::string> Lines;
    std::vector<std::string> Calls;
    TBitmap Previewed;
};

// One picture of a frame: width x height x 3 bytes, blue, green, red, top row first.
using TPixels = std::vector<uint8_t>;

// A frame of one colour.
inline TPixels SolidFrame(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
    TPixels pixels;
    for (int i = 0; i < width * height; ++i) pixels.insert(pixels.end(), {b, g, r});
    return pixels;
}

// A frame of four colour bands that change with `seed`: few colours, so they survive the
// reduction to 256 colours exactly.
inline TPixels BandedFrame(int width, int height, int seed) {
    TPixels pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int band = (x * 4 / width + seed) % 4;
            pixels.insert(pixels.end(),
                          {static_cast<uint8_t>(band * 80), static_cast<uint8_t>(255 - band * 60),
                           static_cast<uint8_t>((seed * 37) & 0xFF)});
        }
    return pixels;
}

// A "rawrgb" output with one raw bgr24 (or rgb24) stream, opened for an adapter as a
// conversion opens it.
class TRawRgbOutput {
public:
    TRawRgbOutput(TFrameOutputAdapter& adapter, int width, int height, AVRational timeBase,
                  AVRational frameRate = {0, 1}, AVPixelFormat pixelFormat = AV_PIX_FMT_BGR24) {
        const AVOutputFormat* format = GuessOutputFormat("rawrgb", nullptr, nullptr);
        const std::string name = adapter.OutputName();
        EXPECT_GE(libav::avformat_alloc_output_context2(&context_, format, nullptr, name.c_str()),
                  0);
        AVStream* stream = libav::avformat_new_stream(context_, nullptr);
        stream->time_base = timeBase;
        stream->avg_frame_rate = frameRate;
        stream->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
        stream->codecpar->codec_id = AV_CODEC_ID_RAWVIDEO;
        stream->codecpar->format = pixelFormat;
        stream->codecpar->width = width;
        stream->codecpar->height = height;
        packet_ = libav::av_packet_alloc();
    }
    ~TRawRgbOutput() {
        libav::av_packet_free(&packet_);
        libav::avformat_free_context(context_);
    }
    TRawRgbOutput(const TRawRgbOutput&) = delete;
    TRawRgbOutput& operator=(const TRawRgbOutput&) = delete;

    int Start() { return libav::avformat_write_header(context_, nullptr); }
    // One packet holding `pixels`; pts AV_NOPTS_VALUE leaves the packet without a timestamp.
    int Write(const TPixels& pixels, int64_t pts, int64_t duration = 0) {
        libav::av_packet_unref(packet_);
        int result = libav::av_new_packet(packet_, static_cast<int>(pixels.size()));
        if (result < 0) return result;
        std::copy(pixels.begin(), pixels.end(), packet_->data);
        packet_->pts = packet_->dts = pts;
        packet_->duration = duration;
        packet_->flags |= AV_PKT_FLAG_KEY;
        return libav::av_write_frame(context_, packet_);
    }
    int Finish() { return libav::av_write_trailer(context_); }
    // The error a sink handler raised in the last failed write, "" when none did.
    std::string HandlerError() {
        return testsupport::ErrorOf([&] { RaiseFrameOutputError(context_); });
    }

private:
    AVFormatContext* context_ = nullptr;
    AVPacket* packet_ = nullptr;
};

// The names in a folder, sorted.
inline std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* entry = readdir(d)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A sink bound to an adapter, with the media libraries loaded.
class SinkTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        mediatest::LoadMediaLibraries();
        RegisterFrameOutputFormats();
    }
    void SetUp() override {
        sink.Attach(adapter);
        sink.SetInputFileName(dir.File("holiday.mp4"));
    }

    // Converts `frames` of width x height at one frame per tick of `timeBase` through the
    // sink and expects the save to succeed.
    void Convert(const std::vector<TPixels>& frames, int width, int height,
                 AVRational timeBase = {1, 25}) {
        TRawRgbOutput output(adapter, width, height, timeBase);
        ASSERT_EQ(output.Start(), 0);
        for (size_t i = 0; i < frames.size(); ++i)
            ASSERT_EQ(output.Write(frames[i], static_cast<int64_t>(i)), 0);
        ASSERT_EQ(output.Finish(), 0) << output.HandlerError();
    }

    testsupport::TempDir dir;
    TRecordingWindow window;
    TFrameOutputAdapter adapter;
    TFrameSink sink{window};
};

// A GIF file read back by the project's reader.
struct TReadBack {
    explicit TReadBack(const std::string& fileName) { image.LoadFromFile(fileName); }
    int Count() const { return image.Images().Count(); }
    TGIFSubImage& Frame(int index) { return image.Images()[index]; }
    // The colour of a pixel as 0x00BBGGRR.
    TColor Pixel(int index, int x, int y) {
        TGIFSubImage& frame = Frame(index);
        const TGIFColor c = frame.ActiveColorMap().Colors(frame.Pixels(x, y));
        return RGBColor(c.Red, c.Green, c.Blue);
    }
    // The frame's delay, -1 without a graphic control extension.
    int Delay(int index) {
        TGIFGraphicControlExtension* control = Frame(index).GraphicControlExtension();
        return control ? control->Delay() : -1;
    }
    // The first frame's looping extension, or null.
    TGIFAppExtNSLoop* Loop() {
        TGIFExtensionList& list = Frame(0).Extensions();
        for (int i = 0; i < list.Count(); ++i)
            if (auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(&list[i])) return loop;
        return nullptr;
    }
    TGIFImage image;
};

// The frames ffmpeg's GIF decoder makes of a file, as RGB24 pictures of width x height.
inline std::vector<TPixels> DecodeWithFfmpeg(const std::string& gif, int width, int height,
                                             const std::string& scratch) {
    const auto result = testsupport::Run("ffmpeg -v error -y -i " + testsupport::ShellQuote(gif) +
                                         " -f rawvideo -pix_fmt rgb24 " +
                                         testsupport::ShellQuote(scratch) + " 2>&1");
    EXPECT_EQ(result.exitCode, 0) << result.output;
    const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(scratch);
    const size_t frameBytes = static_cast<size_t>(width) * height * 3;
    std::vector<TPixels> frames;
    for (size_t at = 0; frameBytes > 0 && at + frameBytes <= bytes.size(); at += frameBytes)
        frames.emplace_back(bytes.begin() + at, bytes.begin() + at + frameBytes);
    return frames;
}

// The frame durations ffprobe reads from a GIF, in hundredths of a second.
inline std::vector<int> DurationsByFfprobe(const std::string& gif) {
    const auto result = testsupport::Run(
        "ffprobe -v error -select_streams v -show_entries packet=duration -of csv=p=0 " +
        testsupport::ShellQuote(gif) + " 2>&1");
    EXPECT_EQ(result.exitCode, 0) << result.output;
    std::vector<int> durations;
    size_t start = 0;
    while (start < result.output.size()) {
        size_t end = result.output.find('\n', start);
        if (end == std::string::npos) end = result.output.size();
        const std::string line = result.output.substr(start, end - start);
        if (!line.empty()) durations.push_back(std::stoi(line));
        start = end + 1;
    }
    return durations;
}

// The pixels of a BGR24 frame as RGB24 (what ffmpeg gives back).
inline TPixels ToRgb(const TPixels& bgr) {
    TPixels rgb(bgr.size());
    for (size_t i = 0; i + 2 < bgr.size(); i += 3) {
        rgb[i] = bgr[i + 2];
        rgb[i + 1] = bgr[i + 1];
        rgb[i + 2] = bgr[i];
    }
    return rgb;
}

}  // namespace sinktest
