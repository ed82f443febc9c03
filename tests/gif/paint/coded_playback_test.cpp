// Playing a GIF from its stored bytes: the pictures shown match those composed independently
// from the whole document, frame after frame and pass after pass; delays and loop counts as
// the file gives them; damaged files; and the memory held staying at the file's size.
#include <gtest/gtest.h>

#include "gif/core/GIFException.h"
#include "gif/model/GIFCodedAnimation.h"
#include "gif/paint/GIFCodedPlayback.h"
#include "platform/Stream.h"
#include "tests/gif/AnimationTestSupport.h"

using namespace animation;

namespace {

const std::vector<TGIFColor> kColors = {{0, 0, 0}, {250, 10, 10}, {10, 250, 10}, {10, 10, 250}};
const std::vector<TGIFColor> kLocal = {{200, 200, 0}, {0, 200, 200}};

std::vector<uint8_t> Indices(int count, int period) {
    std::vector<uint8_t> pixels(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        pixels[static_cast<size_t>(i)] = static_cast<uint8_t>(i % period);
    return pixels;
}

// Six frames on a 6 x 5 screen that use what composing has to get right: offsets, a local
// table, transparency, both restoring disposals, interlacing, a frame without a control
// extension; looping `loops` times when it is not negative.
std::vector<uint8_t> SampleGif(int loops) {
    TGIFImage document;
    SetGlobalColors(document, kColors);
    TGIFSubImage& first = AddFrame(document, {0, 0, 6, 5, Indices(30, 4), 5});
    AddFrame(document, {1, 1, 3, 2, {0, 1, 1, 0, 1, 1}, 7, dmPrevious, 0, kLocal});
    AddFrame(document, {2, 0, 4, 3, Indices(12, 3), 1, dmBackground, 2});
    AddFrame(document, {0, 2, 2, 3, {3, 3, 3, 3, 3, 3}, 0});
    TGIFSubImage& interlaced = AddFrame(document, {0, 0, 6, 5, Indices(30, 4), 12, dmNone, 1});
    interlaced.SetInterlaced(true);
    AddFrame(document, {5, 4, 1, 1, {2}});
    if (loops >= 0) {
        auto loop = std::make_unique<TGIFAppExtNSLoop>(&first);
        loop->SetLoops(loops);
        first.Extensions().Add(std::move(loop));
    }
    TMemoryStream stream;
    document.SaveToStream(stream);
    return stream.Data();
}

TShownPictures ShownOf(const std::vector<uint8_t>& gif) {
    TMemoryStream stream(gif);
    TGIFImage document;
    document.LoadFromStream(stream);
    return ShownPictures(document);
}

TPicture PictureOf(const TGIFCodedPlayback& playback) {
    const TGIFComposer& composer = playback.Picture();
    TPicture picture;
    for (int y = 0; y < composer.Height(); ++y)
        for (int x = 0; x < composer.Width(); ++x) {
            const uint32_t pixel = composer.Row(y)[x];
            picture.push_back(pixel & TGIFComposer::kUncovered ? kUncovered : pixel);
        }
    return picture;
}

TEST(CodedPlayback, ShowsWhatTheDocumentShowsPassAfterPass) {
    const std::vector<uint8_t> gif = SampleGif(1);
    const TShownPictures shown = ShownOf(gif);
    const TGIFCodedAnimation animation(gif);
    ASSERT_EQ(animation.FrameCount(), 6);
    EXPECT_EQ(animation.Width(), 6);
    EXPECT_EQ(animation.Height(), 5);
    EXPECT_EQ(animation.LoopCount(), 1);
    TGIFCodedPlayback playback(animation);
    // The looping extension repeats the animation once: two passes, then it stays.
    for (int pass = 0; pass < 2; ++pass)
        for (int frame = 0; frame < 6; ++frame) {
            ASSERT_TRUE(playback.Next()) << "pass " << pass << " frame " << frame;
            EXPECT_EQ(playback.FrameIndex(), frame);
            EXPECT_EQ(PictureOf(playback), shown.pictures[static_cast<size_t>(frame)])
                << "pass " << pass << " frame " << frame;
        }
    EXPECT_FALSE(playback.Next());
    EXPECT_EQ(playback.FrameIndex(), 5);
}

TEST(CodedPlayback, DelaysAndLoopCountsAsTheFileGivesThem) {
    const TGIFCodedAnimation once(SampleGif(-1));
    EXPECT_EQ(once.LoopCount(), -1);
    TGIFCodedPlayback playback(once);
    std::vector<int> delays;
    while (playback.Next()) delays.push_back(playback.DelayMs());
    // Hundredths as milliseconds; none, 0 or 1 show as viewers show them.
    EXPECT_EQ(delays, (std::vector<int>{50, 70, 100, 100, 120, 100}));

    const TGIFCodedAnimation forever(SampleGif(0));
    TGIFCodedPlayback endless(forever);
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(endless.Next());
}

TEST(CodedPlayback, DamagedFiles) {
    const std::vector<uint8_t> gif = SampleGif(0);
    // Cut inside the last frames: the frames before them play.
    const std::vector<uint8_t> cut(gif.begin(), gif.end() - 12);
    const TGIFCodedAnimation rest(cut);
    EXPECT_GE(rest.FrameCount(), 4);
    EXPECT_LE(rest.FrameCount(), 6);
    TGIFCodedPlayback playback(rest);
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(playback.Next());

    EXPECT_THROW(TGIFCodedAnimation(std::vector<uint8_t>(gif.begin(), gif.begin() + 20)),
                 GIFException);
    std::vector<uint8_t> notGif = gif;
    notGif[0] = 'J';
    EXPECT_THROW(TGIFCodedAnimation{notGif}, GIFException);
    // A header without a frame.
    std::vector<uint8_t> empty(gif.begin(), gif.begin() + 13 + 3 * 4);
    empty.push_back(0x3B);
    EXPECT_THROW(TGIFCodedAnimation{empty}, GIFException);
    // A screen beyond the limits is refused before anything is drawn.
    TGIFReadLimits small;
    small.MaxFramePixels = 16;
    EXPECT_THROW(TGIFCodedAnimation(gif, small), GIFException);
}

// A long animation of large frames that compress well: the frames decode to far more than the
// file holds, while playing holds the file and one frame.
TEST(CodedPlayback, HoldsTheFileAndOneFrameNotTheDecodedFrames) {
    constexpr int kSide = 400;
    constexpr int kFrames = 60;
    TGIFImage document;
    SetGlobalColors(document, kColors);
    for (int i = 0; i < kFrames; ++i)
        AddFrame(document, {0, 0, kSide, kSide, std::vector<uint8_t>(kSide * kSide, i % 4), 2});
    TMemoryStream stream;
    document.SaveToStream(stream);
    const size_t fileSize = stream.Data().size();
    const size_t decodedSize = size_t{kSide} * kSide * kFrames;
    ASSERT_LT(fileSize * 10, decodedSize);

    const TGIFCodedAnimation animation(stream.Data());
    const size_t indexed = animation.HeldBytes();
    EXPECT_LE(indexed, fileSize + kFrames * sizeof(TGIFCodedFrame) * 2);
    TGIFCodedPlayback playback(animation);
    while (playback.Next()) {}
    EXPECT_EQ(animation.HeldBytes(), indexed);
    EXPECT_LE(playback.HeldBytes(), size_t{kSide} * kSide * (4 + 1));
    EXPECT_EQ(PictureOf(playback)[0], 0x0A0AFAu);  // the last frame: colour 3
}

}  // namespace
