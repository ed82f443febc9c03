// Frames through the sink's pipeline of workers: the GIF holds the very bytes that adding every
// frame to a document on one thread and saving it gives, on real clips of several sizes, with
// and without timing, whatever the number of workers; the document's coded frames read back as
// the pixels they were made of; a stopped conversion saves every frame delivered so far; a frame
// the workers cannot make fails the conversion.
#include <filesystem>
#include <string>
#include <vector>

#include "engine/log/FFLog.h"
#include "engine/task/FFmpegTask.h"
#include "platform/Stream.h"
#include "tests/app/SinkTestSupport.h"

namespace {

using namespace sinktest;

struct TClip {
    const char* name;
    const char* graph;  // lavfi source
    int width;
    int height;
    int frames;
};

// Camera-like, grainy, sharp, noisy and tiny frames.
const TClip kClips[] = {
    {"natural",
     "mandelbrot=s=320x240:r=25:end_scale=0.05:end_pts=20,gblur=sigma=2,format=gbrp[m];"
     "gradients=s=320x240:r=25:n=4:c0=0x304860:c1=0xc89868:c2=0x6a8d4a:c3=0xe0d8c0:speed=0.05:"
     "seed=1,format=gbrp[g];[g][m]blend=all_mode=softlight:all_opacity=0.7,format=rgb24,"
     "noise=alls=5:allf=t:all_seed=7",
     320, 240, 12},
    {"grainy",
     "life=s=100x75:r=25:mold=10:ratio=0.5:seed=3:death_color=#204060:life_color=#e0b070:"
     "mold_color=#406020,scale=200:150:flags=bicubic,gblur=sigma=2,noise=alls=24:allf=t:all_seed=7",
     200, 150, 10},
    {"testcard", "testsrc2=s=320x240:r=25,scale=317:237:flags=neighbor", 317, 237, 8},
    {"noise", "color=c=gray:s=96x64:r=25,noise=alls=100:allf=t+u:all_seed=7", 96, 64, 16},
    {"tiny", "testsrc2=s=64x48:r=25,scale=7:5", 7, 5, 9},
};

std::vector<TPixels> ClipFrames(const TClip& clip, testsupport::TempDir& dir) {
    const std::string raw = testsupport::MakeMedia(
        "-f lavfi -i " + testsupport::ShellQuote(clip.graph) + " -frames:v " +
            std::to_string(clip.frames) + " -pix_fmt bgr24 -f rawvideo",
        dir.File(std::string(clip.name) + ".bgr"));
    const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(raw);
    const size_t frameBytes = static_cast<size_t>(clip.width) * clip.height * 3;
    std::vector<TPixels> frames;
    for (size_t at = 0; at + frameBytes <= bytes.size(); at += frameBytes)
        frames.emplace_back(bytes.begin() + at, bytes.begin() + at + frameBytes);
    return frames;
}

TBitmap BitmapOf(const TPixels& pixels, int width, int height) {
    TBitmap bitmap(width, height, pf24bit);
    for (int y = 0; y < height; ++y)
        std::copy_n(pixels.begin() + static_cast<ptrdiff_t>(y) * width * 3, width * 3,
                    bitmap.ScanLine(y));
    return bitmap;
}

// The single-threaded road: every frame added to a document with the sink's settings.
void AddEveryFrame(TGIFImage& document, const std::vector<TPixels>& frames, int width, int height) {
    document.SetReductionMode(prOctreePlusSystem);
    for (const TPixels& pixels : frames) {
        TBitmap bitmap = BitmapOf(pixels, width, height);
        document.Add(bitmap);
    }
}

std::vector<uint8_t> Saved(TGIFImage& document) {
    TMemoryStream stream;
    document.SaveToStream(stream);
    return stream.Data();
}

// The frames' extensions (looping, delays) as a GIF file has them, given to the document's
// frames.
void CopyExtensions(const std::string& gif, TGIFImage& document) {
    TGIFImage read;
    read.LoadFromFile(gif);
    ASSERT_EQ(read.Images().Count(), document.Images().Count());
    for (int i = 0; i < read.Images().Count(); ++i) {
        TGIFExtensionList& extensions = read.Images()[i].Extensions();
        for (int j = 0; j < extensions.Count(); ++j)
            document.Images()[i].Extensions().Add(extensions[j].Clone(&document.Images()[i]));
    }
}

using FrameSinkPipeline = SinkTest;

TEST_F(FrameSinkPipeline, TheGifIsTheSingleThreadedRoadsByteForByte) {
    for (const TClip& clip : kClips) {
        SCOPED_TRACE(clip.name);
        const std::vector<TPixels> frames = ClipFrames(clip, dir);
        ASSERT_EQ(static_cast<int>(frames.size()), clip.frames);
        TGIFImage reference;
        AddEveryFrame(reference, frames, clip.width, clip.height);
        const std::vector<uint8_t> plain = Saved(reference);

        for (const int workers : {0, 1, 3}) {
            SCOPED_TRACE(workers);
            sink.SetWorkers(workers);
            sink.SetTiming({.Enabled = false});
            Convert(frames, clip.width, clip.height);
            EXPECT_EQ(testsupport::ReadFileBytes(sink.SavedFileName()), plain);

            sink.SetTiming({});
            Convert(frames, clip.width, clip.height, {1, 25});
            TGIFImage timed;
            AddEveryFrame(timed, frames, clip.width, clip.height);
            CopyExtensions(sink.SavedFileName(), timed);
            EXPECT_EQ(testsupport::ReadFileBytes(sink.SavedFileName()), Saved(timed));
            EXPECT_EQ(TReadBack(sink.SavedFileName()).Delay(0), 4);
        }
    }
}

TEST_F(FrameSinkPipeline, CodedFramesReadBackAsThePixelsTheyWereMadeOf) {
    const TClip& clip = kClips[0];
    const std::vector<TPixels> frames = ClipFrames(clip, dir);
    TGIFImage reference;
    AddEveryFrame(reference, frames, clip.width, clip.height);
    sink.SetWorkers(2);
    sink.SetKeepFrames(true);
    Convert(frames, clip.width, clip.height);

    TGIFImage& document = sink.Document();
    ASSERT_EQ(document.Images().Count(), clip.frames);
    const size_t area = static_cast<size_t>(clip.width) * clip.height;
    for (int i = 0; i < clip.frames; ++i) {
        SCOPED_TRACE(i);
        TGIFSubImage& frame = document.Images()[i];
        EXPECT_TRUE(frame.Coded());
        EXPECT_LT(frame.CodedSize(), area);
        const uint8_t* expected = reference.Images()[i].PixelData();
        EXPECT_TRUE(std::equal(expected, expected + area, frame.PixelData()));
    }
    // The document goes on being a document: copied, edited and saved again.
    TGIFImage copy;
    copy.Assign(document);
    copy.Images()[3].SetPixels(5, 5, 0);
    reference.Images()[3].SetPixels(5, 5, 0);
    CopyExtensions(sink.SavedFileName(), reference);
    EXPECT_EQ(Saved(copy), Saved(reference));
}

// Delays are worked out while frames wait in the pipeline or are in the document already.
TEST_F(FrameSinkPipeline, DelaysAreTheSameWhateverTheWorkers) {
    std::vector<TPixels> frames;
    for (int i = 0; i < 30; ++i) frames.push_back(BandedFrame(64, 48, i));
    std::vector<std::vector<int>> delays;
    for (const int workers : {0, 1, 4}) {
        sink.SetWorkers(workers);
        TRawRgbOutput output(adapter, 64, 48, {1, 1000});
        ASSERT_EQ(output.Start(), 0);
        for (size_t i = 0; i < frames.size(); ++i) {
            // Uneven times, a frame too short to take, a packet without a timestamp.
            TPixels pixels = frames[i];
            if (i == 7) pixels.pop_back();
            const int64_t pts = i == 12 ? AV_NOPTS_VALUE : static_cast<int64_t>(i * i * 9);
            ASSERT_EQ(output.Write(pixels, pts), 0);
        }
        ASSERT_EQ(output.Finish(), 0) << output.HandlerError();
        // The frame 9 ms after the first and the one without a timestamp (which the muxer
        // places a tick after the one before) show for less than 2 hundredths: they give their
        // time to the frame before.
        TReadBack gif(sink.SavedFileName());
        ASSERT_EQ(gif.Count(), 27);
        delays.emplace_back();
        for (int i = 0; i < gif.Count(); ++i) delays.back().push_back(gif.Delay(i));
    }
    EXPECT_EQ(delays[1], delays[0]);
    EXPECT_EQ(delays[2], delays[0]);
}

// A conversion stopped after ten frames: the trailer still comes, and the GIF holds every frame
// the sink was given, although the workers were still making some of them.
TEST_F(FrameSinkPipeline, AStoppedConversionSavesTheFramesSoFar) {
    const std::string clip = testsupport::MakeMedia(
        "-f lavfi -i testsrc2=size=160x120:rate=25 -t 4 -c:v mpeg4", dir.File("clip.nut"));
    FFLogger().SetLogLevel(llQuiet);
    sink.SetWorkers(2);
    TCustomFFmpeg task;
    int delivered = 0;
    adapter.OnWriteFrame = [&](TFrameOutputAdapter* sender, POutputFrameInfo info) {
        sink.FOAWriteFrame(sender, info);
        if (++delivered == 10) task.StopRequest = true;
    };
    ASSERT_GE(task.OpenInputFile(nullptr, clip), 0) << task.LastError;
    task.ParseOptions("-f rawrgb -c:v rawvideo -pix_fmt bgr24");
    ASSERT_GE(task.OpenOutputFile(adapter.OutputName(), false), 0) << task.LastError;
    task.Transcode();
    FFLogger().SetLogLevel(llInfo);

    EXPECT_FALSE(task.Completed);
    ASSERT_GE(delivered, 10);
    EXPECT_LT(delivered, 100);
    ASSERT_FALSE(sink.SavedFileName().empty());
    TReadBack gif(sink.SavedFileName());
    EXPECT_EQ(gif.Count(), delivered);
    const auto decoded = DecodeWithFfmpeg(sink.SavedFileName(), 160, 120, dir.File("frames.rgb"));
    EXPECT_EQ(static_cast<int>(decoded.size()), delivered);
    EXPECT_EQ(DurationsByFfprobe(sink.SavedFileName()).size(), static_cast<size_t>(delivered));
}

// A frame that cannot be reduced (no palette to reduce to) fails the output, in a later frame or
// at the close, and nothing is saved; the next output starts afresh.
TEST_F(FrameSinkPipeline, AFrameTheWorkersCannotMakeFailsTheOutput) {
    const std::vector<TPixels> frames(6, BandedFrame(16, 8, 1));
    for (const int workers : {0, 2}) {
        SCOPED_TRACE(workers);
        sink.SetWorkers(workers);
        sink.Document().SetReductionMode(prCallerPalette);
        TRawRgbOutput output(adapter, 16, 8, {1, 25});
        ASSERT_EQ(output.Start(), 0);
        std::string error;
        for (size_t i = 0; i < frames.size() && error.empty(); ++i)
            if (output.Write(frames[i], static_cast<int64_t>(i)) < 0) error = output.HandlerError();
        if (error.empty()) {
            EXPECT_LT(output.Finish(), 0);
            error = output.HandlerError();
        }
        EXPECT_EQ(error, "Scan line index out of range");
        EXPECT_TRUE(sink.SavedFileName().empty());

        sink.Document().SetReductionMode(prOctreePlusSystem);
        Convert(frames, 16, 8);
        EXPECT_EQ(TReadBack(sink.SavedFileName()).Count(), 6);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                            std::filesystem::directory_iterator()),
              2);  // the two GIFs that were saved
}

}  // namespace
