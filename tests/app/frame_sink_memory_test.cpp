// The memory a conversion takes through the sink: a document that keeps its frames keeps each
// frame's coded image data rather than its pixels; a GIF written as the frames come keeps
// nothing of them; what the pipeline holds besides does not grow with the number of frames.
// Measured by counting the bytes allocated and not yet freed, on every thread.
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>

#include "gif/codec/LZWEncoder.h"
#include "tests/app/SinkTestSupport.h"

namespace {

std::atomic<long long> liveBytes{0};
std::atomic<long long> peakBytes{0};

void Allocated(void* p) {
    const long long live = liveBytes += static_cast<long long>(malloc_usable_size(p));
    long long peak = peakBytes.load();
    while (live > peak && !peakBytes.compare_exchange_weak(peak, live)) {}
}

}  // namespace

void* operator new(size_t size) {
    if (void* p = std::malloc(size ? size : 1)) {
        Allocated(p);
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    if (p) liveBytes -= static_cast<long long>(malloc_usable_size(p));
    std::free(p);
}
void operator delete(void* p, size_t) noexcept { operator delete(p); }

namespace {

using namespace sinktest;

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr long long kIndexBytes = kWidth * kHeight;
constexpr int kWorkers = 2;
// Each worker, and the conversion's thread when it makes frames too, keeps its LZW encoder,
// string tables and all, from frame to frame.
constexpr long long kWorkerEncoderBytes =
    (kWorkers + 1) * static_cast<long long>(sizeof(TLZWEncoder));
// The pipeline's slots, each keeping the picture of a frame.
constexpr long long kSlots = kWorkers + TFramePipeline::kQueuedFrames;
constexpr long long kPictureBytes = kIndexBytes * 3;
// What a frame in flight may take: its picture and room for two frames of colour indices.
constexpr long long kFrameBytes = kPictureBytes + 2 * kIndexBytes;

// A picture like a camera's: smooth shading with some texture, moving with `seed`.
void Picture(TPixels& pixels, int seed) {
    pixels.resize(static_cast<size_t>(kIndexBytes) * 3);
    uint32_t noise = 7u + static_cast<uint32_t>(seed);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int grain = static_cast<int>(noise >> 29);
            uint8_t* bgr = &pixels[(static_cast<size_t>(y) * kWidth + x) * 3];
            bgr[0] = static_cast<uint8_t>((x + seed * 3) * 200 / kWidth + grain);
            bgr[1] = static_cast<uint8_t>(y * 180 / kHeight + ((x ^ y) & 15) + grain);
            bgr[2] = static_cast<uint8_t>(255 - (x + y + seed) % 120 - grain);
        }
}

struct TRun {
    long long Document = 0;  // what the document keeps of the frames
    long long Coded = 0;     // the coded image data of its frames
    long long Beyond = 0;    // the most the run took beyond what the document kept so far
};

// `frames` frames through the sink with kWorkers workers.
TRun Convert(int frames, bool keepFrames) {
    testsupport::TempDir dir;
    TRecordingWindow window;
    TFrameOutputAdapter adapter;
    TFrameSink sink(window);
    sink.Attach(adapter);
    sink.SetWorkers(kWorkers);
    sink.SetKeepFrames(keepFrames);
    sink.SetOutputFileName(dir.File("out.gif"));
    TPixels pixels;
    Picture(pixels, 0);
    TRun run;
    {
        TRawRgbOutput output(adapter, kWidth, kHeight, {1, 25});
        EXPECT_EQ(output.Start(), 0);
        const long long start = liveBytes;
        peakBytes = start;
        for (int frame = 0; frame < frames; ++frame) {
            Picture(pixels, frame % 40);
            EXPECT_EQ(output.Write(pixels, frame), 0);
        }
        EXPECT_EQ(output.Finish(), 0) << output.HandlerError();
        run.Document = liveBytes - start;
        run.Beyond = peakBytes - start - run.Document;
    }
    EXPECT_EQ(sink.SavedFrames(), frames);
    const TGIFImageList& images = sink.Document().Images();
    EXPECT_EQ(images.Count(), keepFrames ? frames : 0);
    for (int i = 0; i < images.Count(); ++i) run.Coded += images[i].CodedSize();
    return run;
}

TEST(FrameSinkMemory, AKeptDocumentTakesTheCodedFramesAndAFewPicturesMore) {
    mediatest::LoadMediaLibraries();
    RegisterFrameOutputFormats();
    const TRun shortRun = Convert(40, true);
    const TRun longRun = Convert(160, true);

    // Each frame costs its coded data and a little more (its colour table, its records), far
    // less than its colour indices. The pipeline keeps the pictures of its slots and the
    // encoders.
    const long long perFrame = (longRun.Document - shortRun.Document) / 120;
    EXPECT_GT(shortRun.Coded, 0);
    EXPECT_LT(perFrame, (longRun.Coded - shortRun.Coded) / 120 + 2048);
    EXPECT_LT(perFrame, kIndexBytes / 2);
    EXPECT_LT(longRun.Document,
              longRun.Coded + 160 * 2048 + kSlots * kPictureBytes + kWorkerEncoderBytes);

    // Beyond the document: the frames being made, the packets and the save, the same for four
    // times the frames.
    EXPECT_LT(shortRun.Beyond, (kSlots + 2) * kFrameBytes);
    EXPECT_LT(longRun.Beyond, (kSlots + 2) * kFrameBytes);
    EXPECT_LT(longRun.Beyond, shortRun.Beyond + 2 * kFrameBytes);
}

// Written as they come, frames leave memory: four times the frames take no more.
TEST(FrameSinkMemory, AWrittenGifTakesNoMoreForALongerRun) {
    mediatest::LoadMediaLibraries();
    RegisterFrameOutputFormats();
    const TRun shortRun = Convert(40, false);
    const TRun longRun = Convert(160, false);
    // What stays is the pictures of the pipeline's slots and the encoders.
    EXPECT_LT(longRun.Document, kSlots * kPictureBytes + 64 * 1024 + kWorkerEncoderBytes);
    EXPECT_LT(longRun.Document, shortRun.Document + 16 * 1024);
    EXPECT_LT(longRun.Beyond, (kSlots + 2) * kFrameBytes);
    EXPECT_LT(longRun.Beyond, shortRun.Beyond + kFrameBytes);
}

}  // namespace
