#pragma once
// A GIF file as Pillow (the Python imaging library, through /usr/bin/python3) reads it: a
// reader written apart from ours, as the viewers people use are. Tests skip with a message
// where Pillow is not installed.
#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "tests/common/TestSupport.h"

namespace pillow {

// One picture: 0xRRGGBBAA per pixel, rows back to back.
using TRgbaPicture = std::vector<uint32_t>;

struct TPillowGif {
    bool Read = false;
    std::string Error;  // why it could not be read ("" when it was)
    int Width = 0;
    int Height = 0;
    int Frames = 0;
    int Loop = -1;        // the looping extension's count, -1 without one
    int Background = -1;  // the logical screen's background index, -1 when not given
    // The global table's colour at the background index (0xRRGGBB), -1 when there is none.
    int64_t BackgroundColor = -1;
    std::vector<TRgbaPicture> Pictures;  // each frame as Pillow composes it, in RGBA
};

// The script prints one line per fact; exit status 3 when Pillow cannot be imported.
inline const char* kReadScript = R"(
import sys
try:
    from PIL import Image, ImageSequence
except ImportError:
    sys.exit(3)
im = Image.open(sys.argv[1])
print("size", im.size[0], im.size[1])
print("frames", im.n_frames)
print("loop", im.info.get("loop", -1))
background = im.info.get("background", -1)
print("background", background)
palette = im.global_palette.palette if getattr(im, "global_palette", None) else b""
if 0 <= background and 3 * background + 2 < len(palette):
    r, g, b = palette[3 * background:3 * background + 3]
    print("background_color", (r << 16) | (g << 8) | b)
for frame in ImageSequence.Iterator(im):
    rgba = frame.convert("RGBA")
    print("picture", " ".join("%d" % ((r << 24) | (g << 16) | (b << 8) | a)
                              for r, g, b, a in rgba.getdata()))
)";

inline bool Available() {
    return testsupport::Run("/usr/bin/python3 -c 'import PIL' 2>/dev/null").exitCode == 0;
}

inline TPillowGif Read(const std::string& file, const std::string& scratchFolder) {
    TPillowGif gif;
    const std::string script = scratchFolder + "/pillow_read.py";
    {
        std::FILE* out = std::fopen(script.c_str(), "w");
        if (!out) {
            gif.Error = "cannot write " + script;
            return gif;
        }
        std::fputs(kReadScript, out);
        std::fclose(out);
    }
    const testsupport::CommandResult result =
        testsupport::Run("/usr/bin/python3 " + testsupport::ShellQuote(script) + " " +
                         testsupport::ShellQuote(file) + " 2>&1");
    std::remove(script.c_str());
    if (result.exitCode != 0) {
        gif.Error = result.exitCode == 3 ? "Pillow is not installed" : result.output;
        return gif;
    }
    std::istringstream lines(result.output);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string key;
        fields >> key;
        if (key == "size") fields >> gif.Width >> gif.Height;
        if (key == "frames") fields >> gif.Frames;
        if (key == "loop") fields >> gif.Loop;
        if (key == "background") fields >> gif.Background;
        if (key == "background_color") fields >> gif.BackgroundColor;
        if (key != "picture") continue;
        TRgbaPicture picture;
        uint32_t pixel = 0;
        while (fields >> pixel) picture.push_back(pixel);
        gif.Pictures.push_back(std::move(picture));
    }
    gif.Read = true;
    return gif;
}

}  // namespace pillow

// Skips the test when Pillow is not there.
#define SKIP_WITHOUT_PILLOW()                                                               \
    do {                                                                                    \
        if (!pillow::Available())                                                           \
            GTEST_SKIP() << "Pillow (python3-pil) is not installed: the GIFs are not read " \
                            "back by a second reader";                                      \
    } while (0)
