// Whether a GIF stores again what stood still in its clip: the pixels that frames after the
// first draw (are not transparent) where the clip's picture never changes, within the default
// quality's tolerance (a weighted colour distance, as the fitted colours measure it) for the
// noise of the clip's coding.
//
//     bench_still_pixels GIF FRAMES.rgb WIDTH HEIGHT
//
// FRAMES.rgb holds the clip's pictures at the GIF's size (RGB24, one a frame, ffmpeg -pix_fmt
// rgb24). Prints the count of still pixels drawn again after the first frame, of pixels drawn
// after the first frame in all, and of still pixels.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "gif/colour/ColorDistance.h"
#include "gif/model/GIFImage.h"
#include "gif/optimise/ColorQuality.h"
#include "platform/Stream.h"

namespace {

// The keep distance of the default quality.
const int kTolerance = ColorQualityFor(kDefaultQuality).KeepDistance;

std::vector<std::vector<uint8_t>> ReadPictures(const char* file, int width, int height) {
    std::vector<std::vector<uint8_t>> pictures;
    FILE* in = std::fopen(file, "rb");
    if (!in) return pictures;
    const size_t size = static_cast<size_t>(width) * height * 3;
    std::vector<uint8_t> picture(size);
    while (std::fread(picture.data(), 1, size, in) == size) pictures.push_back(picture);
    std::fclose(in);
    return pictures;
}

// Per pixel: whether every picture shows it within the tolerance of the first.
std::vector<bool> StillPixels(const std::vector<std::vector<uint8_t>>& pictures) {
    const std::vector<uint8_t>& first = pictures.front();
    const size_t pixels = first.size() / 3;
    std::vector<bool> still(pixels, true);
    for (const std::vector<uint8_t>& picture : pictures)
        for (size_t i = 0; i < pixels; ++i) {
            const uint8_t* a = picture.data() + 3 * i;
            const uint8_t* b = first.data() + 3 * i;
            if (ColorDistance(a[0] - b[0], a[1] - b[1], a[2] - b[2]) > kTolerance) still[i] = false;
        }
    return still;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s GIF FRAMES.rgb WIDTH HEIGHT\n", argv[0]);
        return 2;
    }
    const int width = std::atoi(argv[3]), height = std::atoi(argv[4]);
    TGIFImage gif;
    gif.LoadFromFile(argv[1]);
    const std::vector<std::vector<uint8_t>> pictures = ReadPictures(argv[2], width, height);
    if (pictures.empty()) return 1;
    const std::vector<bool> still = StillPixels(pictures);
    long long stillDrawn = 0, drawn = 0;
    for (int i = 1; i < gif.Images().Count(); ++i) {
        TGIFSubImage& frame = gif.Images()[i];
        if (frame.Empty()) continue;
        const int transparent = frame.TransparentColorIndex();
        for (int y = 0; y < frame.Height(); ++y) {
            const uint8_t* row = frame.ScanLine(y);
            for (int x = 0; x < frame.Width(); ++x) {
                if (row[x] == transparent) continue;
                ++drawn;
                if (still[static_cast<size_t>(frame.Top() + y) * width + (frame.Left() + x)])
                    ++stillDrawn;
            }
        }
    }
    std::printf("%lld %lld %lld\n", stillDrawn, drawn,
                static_cast<long long>(std::count(still.begin(), still.end(), true)));
    return 0;
}
