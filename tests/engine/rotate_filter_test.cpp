#include "engine/vf_rotate.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/entrypoints/avutil.h"
#include "platform/Exception.h"
#include "tests/engine/media_test_support.h"

namespace {

struct TFrameDeleter {
    void operator()(AVFrame* frame) const { libav::av_frame_free(&frame); }
};
using TFramePtr = std::unique_ptr<AVFrame, TFrameDeleter>;

TFramePtr NewFrame() { return TFramePtr(libav::av_frame_alloc()); }

// A frame with its own buffers; luma (x, y) = (x + 3y) mod 200 + 20, chroma planes 60 and 200.
TFramePtr PatternFrame(AVPixelFormat format, int width, int height) {
    TFramePtr frame = NewFrame();
    frame->format = format;
    frame->width = width;
    frame->height = height;
    EXPECT_EQ(libav::av_frame_get_buffer(frame.get(), 0), 0);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) frame->data[0][y * frame->linesize[0] + x] = (x + 3 * y) % 200 + 20;
    }
    const AVPixFmtDescriptor* descriptor = libav::av_pix_fmt_desc_get(format);
    const int chromaHeight = -((-height) >> descriptor->log2_chroma_h);
    for (int plane = 1; plane <= 2; ++plane) {
        std::fill_n(frame->data[plane], frame->linesize[plane] * chromaHeight, plane == 1 ? 60 : 200);
    }
    return frame;
}

uint8_t Luma(const AVFrame* frame, int x, int y) { return frame->data[0][y * frame->linesize[0] + x]; }

class RotateFilterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { mediatest::LoadMediaLibraries(); }

    TFramePtr Rotate(const char* angle, const AVFrame* in) {
        filter.Init(angle);
        EXPECT_TRUE(filter.ConfigInput(static_cast<AVPixelFormat>(in->format), in->width, in->height));
        TFramePtr out = NewFrame();
        EXPECT_EQ(filter.Filter(in, out.get()), 0);
        return out;
    }

    TRotateFilter filter;
};

TEST_F(RotateFilterTest, AngleComesFromTheArgumentText) {
    filter.Init(nullptr);
    EXPECT_EQ(filter.Angle(), 45);
    filter.Init("");
    EXPECT_EQ(filter.Angle(), 45);
    filter.Init("-30");
    EXPECT_EQ(filter.Angle(), -30);
    try {
        filter.Init("9o");
        FAIL() << "9o accepted";
    } catch (const Exception& error) {
        EXPECT_STREQ(error.what(), "'9o' is not a valid integer value");
    }
}

TEST_F(RotateFilterTest, TakesPlanarYuvOnly) {
    EXPECT_EQ(filter.PixelFormats().size(), 10u);
    EXPECT_EQ(filter.PixelFormats().front(), AV_PIX_FMT_YUV444P);
    EXPECT_TRUE(filter.ConfigInput(AV_PIX_FMT_YUVJ440P, 16, 16));
    EXPECT_FALSE(filter.ConfigInput(AV_PIX_FMT_RGB24, 16, 16));
    EXPECT_FALSE(filter.ConfigInput(AV_PIX_FMT_NV12, 16, 16));
}

TEST_F(RotateFilterTest, ZeroDegreesCopiesEveryPlane) {
    TFramePtr in = PatternFrame(AV_PIX_FMT_YUV420P, 32, 24);
    TFramePtr out = Rotate("0", in.get());
    ASSERT_EQ(out->width, 32);
    ASSERT_EQ(out->height, 24);
    for (int y = 0; y < 24; ++y) {
        for (int x = 0; x < 32; ++x) ASSERT_EQ(Luma(out.get(), x, y), Luma(in.get(), x, y)) << x << "," << y;
    }
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 16; ++x) {
            ASSERT_EQ(out->data[1][y * out->linesize[1] + x], 60);
            ASSERT_EQ(out->data[2][y * out->linesize[2] + x], 200);
        }
    }
}

TEST_F(RotateFilterTest, NinetyDegreesTurnsTheFrame) {
    TFramePtr in = PatternFrame(AV_PIX_FMT_YUV420P, 320, 240);
    TFramePtr out = Rotate("90", in.get());
    EXPECT_EQ(filter.OutputWidth(), 240);
    EXPECT_EQ(filter.OutputHeight(), 320);
    ASSERT_EQ(out->width, 240);
    ASSERT_EQ(out->height, 320);
    // Output row i is input column i, read from the bottom row upwards.
    for (int i : {0, 1, 100, 319}) {
        for (int j : {1, 2, 120, 239}) {
            ASSERT_EQ(Luma(out.get(), j, i), Luma(in.get(), i, 240 - j)) << i << "," << j;
        }
    }
}

TEST_F(RotateFilterTest, FortyFiveDegreesFitsTheBoundingBoxWithBlackCorners) {
    TFramePtr in = PatternFrame(AV_PIX_FMT_YUV444P, 320, 240);
    in->pts = 4711;
    in->sample_aspect_ratio = AVRational{4, 3};
    TFramePtr out = Rotate(nullptr, in.get());
    // (320 + 240) * cos 45 = 395.98
    EXPECT_EQ(out->width, 395);
    EXPECT_EQ(out->height, 395);
    EXPECT_EQ(out->pts, 4711);
    EXPECT_EQ(out->sample_aspect_ratio.num, 3);
    EXPECT_EQ(out->sample_aspect_ratio.den, 4);
    for (auto [x, y] : {std::pair{0, 0}, {394, 0}, {0, 394}, {394, 394}}) {
        EXPECT_EQ(Luma(out.get(), x, y), 16);
        EXPECT_EQ(out->data[1][y * out->linesize[1] + x], 128);
        EXPECT_EQ(out->data[2][y * out->linesize[2] + x], 128);
    }
    // The middle of the box shows the middle of the frame.
    EXPECT_EQ(out->data[1][197 * out->linesize[1] + 197], 60);
    EXPECT_NEAR(Luma(out.get(), 197, 197), Luma(in.get(), 160, 120), 6);
}

// In 4:1:0 the rounded chroma position can point one sample past the plane; it must not be read.
TEST_F(RotateFilterTest, ChromaIsNeverReadOutsideThePlane) {
    constexpr int width = 16, height = 16, stride = 8, rows = 6;  // chroma plane 4 x 4
    std::vector<uint8_t> luma(width * height, 90), u(stride * rows, 77), v(stride * rows, 77);
    for (int y = 0; y < 4; ++y) {
        std::fill_n(&u[y * stride], 4, 100);
        std::fill_n(&v[y * stride], 4, 100);
    }
    TFramePtr in = NewFrame();
    in->format = AV_PIX_FMT_YUV410P;
    in->width = width;
    in->height = height;
    in->data[0] = luma.data();
    in->data[1] = u.data();
    in->data[2] = v.data();
    in->linesize[0] = width;
    in->linesize[1] = in->linesize[2] = stride;
    for (int angle = 0; angle < 360; angle += 5) {
        SCOPED_TRACE(angle);
        TFramePtr out = Rotate(std::to_string(angle).c_str(), in.get());
        const int chromaWidth = (out->width + 3) >> 2, chromaHeight = (out->height + 3) >> 2;
        for (int plane = 1; plane <= 2; ++plane) {
            for (int y = 0; y < chromaHeight; ++y) {
                for (int x = 0; x < chromaWidth; ++x) {
                    const uint8_t sample = out->data[plane][y * out->linesize[plane] + x];
                    ASSERT_TRUE(sample == 100 || sample == 128) << int(sample) << " at " << x << "," << y;
                }
            }
        }
    }
}

TEST_F(RotateFilterTest, RefusesAFrameUnlikeTheConfiguredInput) {
    filter.Init("30");
    ASSERT_TRUE(filter.ConfigInput(AV_PIX_FMT_YUV420P, 64, 48));
    TFramePtr in = PatternFrame(AV_PIX_FMT_YUV420P, 32, 24);
    TFramePtr out = NewFrame();
    EXPECT_EQ(filter.Filter(in.get(), out.get()), AVERROR(EINVAL));
}

}  // namespace
