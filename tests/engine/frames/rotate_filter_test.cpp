#include "engine/frames/vf_rotate.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/entrypoints/avutil.h"
#include "platform/Exception.h"
#include "tests/common/TestSupport.h"
#include "tests/engine/media_test_support.h"

namespace {

using testsupport::ErrorOf;

struct TFrameDeleter {
    void operator()(AVFrame* frame) const { libav::av_frame_free(&frame); }
};
using TFramePtr = std::unique_ptr<AVFrame, TFrameDeleter>;

// A 4:4:4 frame: luma (x, y) = (x + 3y) mod 200 + 20, chroma 60.
TFramePtr PatternFrame(int width, int height) {
    TFramePtr frame(libav::av_frame_alloc());
    frame->format = AV_PIX_FMT_YUV444P;
    frame->width = width;
    frame->height = height;
    EXPECT_EQ(libav::av_frame_get_buffer(frame.get(), 0), 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            frame->data[0][y * frame->linesize[0] + x] = (x + 3 * y) % 200 + 20;
            frame->data[1][y * frame->linesize[1] + x] =
                frame->data[2][y * frame->linesize[2] + x] = 60;
        }
    }
    return frame;
}

uint8_t Sample(const AVFrame* frame, int plane, int x, int y) {
    return frame->data[plane][y * frame->linesize[plane] + x];
}

class RotateFilterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { mediatest::LoadMediaLibraries(); }

    TFramePtr Rotate(const char* angle, const AVFrame* in) {
        filter.Init(angle);
        EXPECT_TRUE(filter.ConfigInput(AVPixelFormat(in->format), in->width, in->height));
        TFramePtr out(libav::av_frame_alloc());
        EXPECT_EQ(filter.Filter(in, out.get()), 0);
        return out;
    }

    TRotateFilter filter;
};

TEST_F(RotateFilterTest, AngleTextAndFormats) {
    filter.Init("-30");
    EXPECT_EQ(filter.Angle(), -30);
    EXPECT_EQ(ErrorOf<Exception>([&] { filter.Init("9o"); }), "'9o' is not a valid integer value");
    EXPECT_TRUE(filter.ConfigInput(AV_PIX_FMT_YUVJ440P, 16, 16));
    EXPECT_FALSE(filter.ConfigInput(AV_PIX_FMT_RGB24, 16, 16));
}

TEST_F(RotateFilterTest, NinetyDegreesTurnsTheFrame) {
    TFramePtr in = PatternFrame(320, 240);
    TFramePtr out = Rotate("90", in.get());
    ASSERT_EQ(out->width, 240);
    ASSERT_EQ(out->height, 320);
    // Output row i is input column i, read from the bottom row upwards.
    for (int i : {0, 1, 100, 319}) {
        for (int j : {1, 2, 120, 239})
            ASSERT_EQ(Sample(out.get(), 0, j, i), Sample(in.get(), 0, i, 240 - j));
    }
}

TEST_F(RotateFilterTest, FortyFiveDegreesFitsTheBoundingBoxWithBlackCorners) {
    TFramePtr in = PatternFrame(320, 240);
    in->pts = 4711;
    in->sample_aspect_ratio = AVRational{4, 3};
    TFramePtr out = Rotate(nullptr, in.get());
    EXPECT_EQ(out->width, 395);  // (320 + 240) * cos 45 = 395.98
    EXPECT_EQ(out->height, 395);
    EXPECT_EQ(out->pts, 4711);
    EXPECT_EQ(out->sample_aspect_ratio.num, 3);
    EXPECT_EQ(out->sample_aspect_ratio.den, 4);
    for (auto [x, y] : {std::pair{0, 0}, {394, 0}, {0, 394}, {394, 394}}) {
        EXPECT_EQ(Sample(out.get(), 0, x, y), 16);
        EXPECT_EQ(Sample(out.get(), 1, x, y), 128);
        EXPECT_EQ(Sample(out.get(), 2, x, y), 128);
    }
    EXPECT_EQ(Sample(out.get(), 1, 197, 197), 60);  // the middle shows the frame's middle
    EXPECT_NEAR(Sample(out.get(), 0, 197, 197), Sample(in.get(), 0, 160, 120), 6);
}

// In 4:1:0 the rounded chroma position can point one sample past the plane; it must not be read.
TEST_F(RotateFilterTest, ChromaIsNeverReadOutsideThePlane) {
    constexpr int size = 16, stride = 8;  // chroma plane 4 x 4 inside 8 x 6 bytes of 77
    std::vector<uint8_t> luma(size * size, 90), u(stride * 6, 77), v(stride * 6, 77);
    for (int y = 0; y < 4; ++y)
        std::fill_n(&u[y * stride], 4, 100), std::fill_n(&v[y * stride], 4, 100);
    TFramePtr in(libav::av_frame_alloc());
    in->format = AV_PIX_FMT_YUV410P;
    in->width = in->height = size;
    in->data[0] = luma.data();
    in->data[1] = u.data();
    in->data[2] = v.data();
    in->linesize[0] = size;
    in->linesize[1] = in->linesize[2] = stride;
    for (int angle = 0; angle < 360; angle += 5) {
        SCOPED_TRACE(angle);
        TFramePtr out = Rotate(std::to_string(angle).c_str(), in.get());
        for (int plane = 1; plane <= 2; ++plane) {
            for (int y = 0; y < (out->height + 3) / 4; ++y) {
                for (int x = 0; x < (out->width + 3) / 4; ++x) {
                    const uint8_t sample = Sample(out.get(), plane, x, y);
                    ASSERT_TRUE(sample == 100 || sample == 128)
                        << int(sample) << " at " << x << "," << y;
                }
            }
        }
    }
}

}  // namespace
