#pragma once
// Media files and library loading shared by the decoder suites. The files are made once per
// test program with the ffmpeg tool.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/loader/FFLoad.h"
#include "platform/MainThread.h"
#include "tests/common/TestSupport.h"

namespace decodertest {

inline void LoadDecoderLibraries() {
    SetMainThread();
    ASSERT_TRUE(FFLoader().LoadLibs(DecoderLibrarySet)) << FFLoader().LastErrorMessage();
}

struct TMediaFiles {
    testsupport::TempDir Dir;
    // 25 frames at 25 fps, B-frames, 64x48.
    std::string H264Mp4 = testsupport::MakeMedia(
        "-f lavfi -i testsrc=size=64x48:rate=25 -t 1 -c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p",
        Dir.File("h264.mp4"));
    // 30 frames at 29.97 fps in a transport stream, which starts at 1.4 s.
    std::string Mpeg2Ts = testsupport::MakeMedia(
        "-f lavfi -i testsrc=size=64x48:rate=30000/1001 -t 1 -c:v mpeg2video -bf 2 -g 12 "
        "-f mpegts",
        Dir.File("mpeg2.ts"));
    // 30 frames at 29.97 fps with B-frames, times rounded to milliseconds and a small start
    // offset: uneven steps between the frames.
    std::string H264Mkv = testsupport::MakeMedia(
        "-f lavfi -i testsrc=size=64x48:rate=30000/1001 -t 1 -c:v libx264 -bf 3 -g 10 "
        "-pix_fmt yuv420p -output_ts_offset 0.0123",
        Dir.File("h264.mkv"));
    // 22 of 25 frames at 25 fps: frames 5, 6 and 14 left out, so the times have gaps.
    std::string GappedMp4 = testsupport::MakeMedia(
        "-f lavfi -i testsrc=size=64x48:rate=25 -t 1 "
        "-vf select='not(eq(n\\,5)+eq(n\\,6)+eq(n\\,14))' -fps_mode vfr "
        "-c:v libx264 -bf 2 -g 12 -pix_fmt yuv420p",
        Dir.File("gapped.mp4"));
    // 25 frames at 25 fps, every frame a key frame.
    std::string MjpegAvi = testsupport::MakeMedia(
        "-f lavfi -i testsrc=size=64x48:rate=25 -t 1 -c:v mjpeg", Dir.File("mjpeg.avi"));
    std::string StillPng =
        testsupport::MakeMedia("-f lavfi -i testsrc=size=64x48 -frames:v 1", Dir.File("still.png"));
    std::string Mp3 = testsupport::MakeMedia(
        "-f lavfi -i sine=frequency=440:duration=1 -c:a libmp3lame", Dir.File("tone.mp3"));
    // One flat colour (red 0x33, green 0x66, blue 0xCC), 5 frames.
    std::string ColourAvi = testsupport::MakeMedia(
        "-f lavfi -i color=c=0x3366CC:size=64x48:rate=25 -t 0.2 -c:v mjpeg -q:v 2",
        Dir.File("colour.avi"));
};

inline const TMediaFiles& Media() {
    static const std::unique_ptr<TMediaFiles> files = std::make_unique<TMediaFiles>();
    return *files;
}

}  // namespace decodertest
