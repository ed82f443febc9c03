#pragma once
// Real video frames for the benchmarks: short clips made with the ffmpeg tool's lavfi sources,
// encoded to H.264 at 640x480 as a camera or a download would give them, then decoded and
// scaled to 320x240 blue-green-red frames as the conversion road hands them to the document.
// The clips and their decoded frames are kept in the system's temporary folder, so only the
// first run pays for making them.
#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Bitmap.h"

namespace benchclips {

struct TClip {
    const char* name;
    const char* description;
    const char* graph;  // lavfi graph of a 640x480 25 fps source
};

// A zooming fractal blurred and laid over drifting gradients, with a little sensor noise:
// textured areas, smooth areas and motion, as in ordinary camera video.
inline constexpr TClip kNatural = {
    "natural", "fractal texture over gradients, light noise",
    "mandelbrot=s=640x480:r=25:end_scale=0.05:end_pts=60,gblur=sigma=2.5,format=gbrp[m];"
    "gradients=s=640x480:r=25:n=4:c0=0x304860:c1=0xc89868:c2=0x6a8d4a:c3=0xe0d8c0:speed=0.02:seed="
    "1,"
    "format=gbrp[g];[g][m]blend=all_mode=softlight:all_opacity=0.7,format=rgb24,"
    "noise=alls=5:allf=t:all_seed=7"};

// Slowly moving soft gradients without grain: few colours per cell but crowded palettes, so the
// colour cells have long candidate lists.
inline constexpr TClip kSmooth = {
    "smooth", "soft drifting gradients, no grain",
    "gradients=s=640x480:r=25:n=5:c0=0x203a5c:c1=0xd8a060:c2=0x5a7d3a:c3=0xe8e0d0:c4=0x602020:"
    "speed=0.01:type=radial:seed=3,format=rgb24,gblur=sigma=3"};

// A busy blurred texture under heavy grain, as a dim room filmed on a phone: many distinct
// colours in every frame, so palettes spread and every frame's cells are built anew.
inline constexpr TClip kNoisy = {
    "noisy", "blurred moving texture under heavy grain",
    "life=s=160x120:r=25:mold=10:ratio=0.5:seed=3:death_color=#204060:life_color=#e0b070:"
    "mold_color=#406020,scale=640:480:flags=bicubic,gblur=sigma=3,noise=alls=24:allf=t:all_seed=7"};

inline std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

inline void RunOrThrow(const std::string& command) {
    const int status = std::system(command.c_str());
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("failed: " + command);
}

inline std::string ClipStem(const TClip& clip, int frames) {
    // The version changes whenever a clip's graph does.
    return std::string(clip.name) + "-v2-" + std::to_string(frames);
}

inline std::filesystem::path ClipFolder() {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / "clipgif-bench-clips";
    std::filesystem::create_directories(folder);
    return folder;
}

// The file of `clip` as a camera or a download would give it: `frames` frames of 640x480 at
// 25 per second in H.264, made on first use.
inline std::string EncodedClipFile(const TClip& clip, int frames) {
    namespace fs = std::filesystem;
    const fs::path h264 = ClipFolder() / (ClipStem(clip, frames) + ".mp4");
    if (!fs::exists(h264)) {
        const fs::path partial = ClipFolder() / (ClipStem(clip, frames) + ".part.mp4");
        RunOrThrow("ffmpeg -nostdin -y -loglevel error -f lavfi -i " + Quote(clip.graph) +
                   " -frames:v " + std::to_string(frames) +
                   " -c:v libx264 -preset veryfast -crf 20 -pix_fmt yuv420p " +
                   Quote(partial.string()));
        fs::rename(partial, h264);
    }
    return h264.string();
}

// The file of the decoded frames of `clip`: `frames` of `width` x `height`, rows of 3 x width
// bytes, made on first use.
inline std::string DecodedFramesFile(const TClip& clip, int frames, int width, int height) {
    namespace fs = std::filesystem;
    const std::string stem =
        ClipStem(clip, frames) + "-" + std::to_string(width) + "x" + std::to_string(height);
    const fs::path raw = ClipFolder() / (stem + ".bgr");
    const size_t bytes = static_cast<size_t>(frames) * width * height * 3;
    if (!fs::exists(raw) || fs::file_size(raw) != bytes) {
        const std::string h264 = EncodedClipFile(clip, frames);
        const fs::path partial = ClipFolder() / (stem + ".part");
        RunOrThrow("ffmpeg -nostdin -y -loglevel error -i " + Quote(h264) +
                   " -vf scale=" + std::to_string(width) + ":" + std::to_string(height) +
                   " -pix_fmt bgr24 -f rawvideo " + Quote(partial.string()));
        fs::rename(partial, raw);
    }
    return raw.string();
}

// The decoded frames of `clip`, `frames` of `width` x `height`, rows of 3 x width bytes.
inline std::vector<uint8_t> DecodedFrames(const TClip& clip, int frames, int width, int height) {
    const std::string raw = DecodedFramesFile(clip, frames, width, height);
    const size_t bytes = static_cast<size_t>(frames) * width * height * 3;
    std::vector<uint8_t> data(bytes);
    std::ifstream in(raw, std::ios::binary);
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(bytes));
    if (in.gcount() != static_cast<std::streamsize>(bytes))
        throw std::runtime_error("short clip file " + raw);
    return data;
}

// The frames as 24-bit bitmaps.
inline std::vector<TBitmap> ClipBitmaps(const TClip& clip, int frames, int width, int height) {
    const std::vector<uint8_t> data = DecodedFrames(clip, frames, width, height);
    std::vector<TBitmap> bitmaps;
    bitmaps.reserve(frames);
    const size_t rowBytes = static_cast<size_t>(width) * 3;
    for (int f = 0; f < frames; ++f) {
        TBitmap bitmap(width, height, pf24bit);
        for (int y = 0; y < height; ++y)
            std::copy_n(data.data() + (static_cast<size_t>(f) * height + y) * rowBytes, rowBytes,
                        bitmap.ScanLine(y));
        bitmaps.push_back(std::move(bitmap));
    }
    return bitmaps;
}

}  // namespace benchclips
