// A frame through the sink takes no memory beyond what the document keeps of it: the frame
// bitmap is reused, log lines are formatted without the heap.
#include <cstdlib>
#include <new>

#include "tests/app/SinkTestSupport.h"

namespace {

bool counting = false;
int allocations = 0;

}  // namespace

void* operator new(size_t size) {
    if (counting) ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

using namespace sinktest;

// Counts what `call` takes from the heap.
template <typename Call>
int AllocationsOf(Call&& call) {
    allocations = 0;
    counting = true;
    call();
    counting = false;
    return allocations;
}

// A window that keeps nothing, so that only the sink's own allocations count.
class TSilentWindow : public TSinkWindow {
public:
    void LogLine(std::string_view line) override { lastLength = line.size(); }
    size_t lastLength = 0;
};

TEST(FrameSinkMemory, AFrameTakesOnlyWhatTheDocumentKeeps) {
    mediatest::LoadMediaLibraries();
    RegisterFrameOutputFormats();
    constexpr int kWidth = 64;
    constexpr int kHeight = 48;
    const TPixels pixels = BandedFrame(kWidth, kHeight, 1);

    // What the document takes for adding this picture, once it has taken one like it.
    TBitmap bitmap(kWidth, kHeight, pf24bit);
    for (int y = 0; y < kHeight; ++y)
        std::copy_n(pixels.begin() + y * kWidth * 3, kWidth * 3, bitmap.ScanLine(y));
    TGIFImage document;
    document.SetReductionMode(prOctreePlusSystem);
    document.Add(bitmap);
    const int documentOwn = AllocationsOf([&] { document.Add(bitmap); });

    TSilentWindow window;
    TFrameSink sink(window);
    TFrameOutputAdapter adapter;
    sink.Attach(adapter);
    AVPacket* packet = libav::av_packet_alloc();
    ASSERT_EQ(libav::av_new_packet(packet, static_cast<int>(pixels.size())), 0);
    std::copy(pixels.begin(), pixels.end(), packet->data);
    // Without timing the frame is the document's share alone; with it, the frame also gets a
    // graphic control extension and a place for it in its extension list.
    for (const bool timing : {false, true}) {
        SCOPED_TRACE(timing ? "timing" : "no timing");
        sink.SetTiming({.Enabled = timing});
        TRawRgbOutput output(adapter, kWidth, kHeight, {1, 25});
        ASSERT_EQ(output.Start(), 0);
        TOutputFrameInfo* info = adapter.CurrentFrameInfo();
        info->Packet = packet;
        for (int frame = 0; frame < 3; ++frame) {
            packet->pts = frame;
            ++info->FrameNumber;
            const int taken = AllocationsOf([&] { sink.FOAWriteFrame(&adapter, info); });
            if (frame > 0) {
                EXPECT_LE(taken, documentOwn + (timing ? 2 : 0)) << "frame " << frame;
            }
        }
        info->Packet = nullptr;
        EXPECT_EQ(sink.Document().Images().Count(), 3);
    }
    libav::av_packet_free(&packet);
}

}  // namespace
