#include "gif/optimise/CommonPalette.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "gif/colour/ColorReduction.h"
#include "gif/colour/FixedPalettes.h"
#include "gif/colour/OctreeQuantizer.h"
#include "gif/core/GIFException.h"
#include "gif/model/GIFImage.h"
#include "gif/paint/GIFComposer.h"
#include "platform/SystemPalette.h"

namespace {

constexpr int kMaxColors = TGIFColorMap::MaxColors;
constexpr int kSystemHalf = 10;
constexpr int kOctreeColorsBesideSystem = kMaxColors - 2 * kSystemHalf;
constexpr int kMaxReductionBits = 8;

bool IsTransparent(const uint8_t index, int transparent) { return index == transparent; }

// Calls visit(bgr, count) with the opaque pixels of every row of every frame, as blue, green,
// red bytes side by side.
template <class Visit>
void ForEachOpaqueRow(TGIFImage& image, Visit visit) {
    std::vector<uint8_t> bgr;
    TGIFImageList& frames = image.Images();
    for (int i = 0; i < frames.Count(); ++i) {
        TGIFSubImage& frame = frames[i];
        if (frame.Empty()) continue;
        const std::array<uint32_t, 256> colors = FrameColors(frame);
        const int transparent = frame.TransparentColorIndex();
        bgr.resize(static_cast<size_t>(frame.Width()) * 3);
        for (int y = 0; y < frame.Height(); ++y) {
            const uint8_t* in = frame.ScanLine(y);
            int count = 0;
            for (int x = 0; x < frame.Width(); ++x) {
                if (IsTransparent(in[x], transparent)) continue;
                const uint32_t color = colors[in[x]];
                uint8_t* out = bgr.data() + 3 * count++;
                out[0] = static_cast<uint8_t>(color);
                out[1] = static_cast<uint8_t>(color >> 8);
                out[2] = static_cast<uint8_t>(color >> 16);
            }
            if (count > 0) visit(bgr.data(), count);
        }
    }
}

// The distinct colours the frames show, in order of first appearance.
TPalette ExactPalette(TGIFImage& image) {
    std::vector<uint64_t> seen((1u << 24) / 64, 0);
    TPalette palette;
    ForEachOpaqueRow(image, [&](const uint8_t* bgr, int count) {
        for (int x = 0; x < count; ++x, bgr += 3) {
            const uint32_t color = bgr[0] | (bgr[1] << 8) | (bgr[2] << 16);
            uint64_t& word = seen[color >> 6];
            const uint64_t bit = uint64_t{1} << (color & 63);
            if (word & bit) continue;
            word |= bit;
            if (palette.size() == kMaxColors) throw GIFException("Color table overflow");
            palette.push_back({bgr[2], bgr[1], bgr[0], 0});
        }
    });
    return palette;
}

TPalette QuantizedPalette(TGIFImage& image, int colors) {
    TColorQuantizer quantizer(colors);
    ForEachOpaqueRow(image, [&](const uint8_t* bgr, int count) { quantizer.AddRow(bgr, count); });
    TPalette palette = quantizer.ColorTable();
    if (palette.size() > static_cast<size_t>(colors)) palette.resize(static_cast<size_t>(colors));
    return palette;
}

TPalette BuildCommonPalette(TGIFImage& image, TPaletteReduction mode, int bits) {
    switch (mode) {
        case prNone:
            return ExactPalette(image);
        case prOctree:
            return QuantizedPalette(image, 1 << std::clamp(bits, 0, kMaxReductionBits));
        case prOctreePlusSystem: {
            const TPalette& system = SystemPalette20();
            TPalette palette(system.begin(), system.begin() + kSystemHalf);
            const TPalette octree = QuantizedPalette(image, kOctreeColorsBesideSystem);
            palette.insert(palette.end(), octree.begin(), octree.end());
            palette.insert(palette.end(), system.begin() + kSystemHalf, system.end());
            return palette;
        }
        default:
            return FixedPalette(mode);
    }
}

int NearestOtherEntry(const TPalette& palette, int excluded) {
    const TPaletteEntry& color = palette[static_cast<size_t>(excluded)];
    int best = -1;
    int bestDistance = 0;
    for (int i = 0; i < static_cast<int>(palette.size()); ++i) {
        if (i == excluded) continue;
        const TPaletteEntry& entry = palette[static_cast<size_t>(i)];
        const int dr = entry.peRed - color.peRed;
        const int dg = entry.peGreen - color.peGreen;
        const int db = entry.peBlue - color.peBlue;
        const int distance = dr * dr + dg * dg + db * db;
        if (best < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

// An index for a frame's transparent pixels in a full palette: one its opaque pixels do not
// use, or else the least used one, whose pixels move to the nearest other entry.
int FreeIndexInFullPalette(std::vector<uint8_t>& mapped, const std::vector<bool>& transparent,
                           const TPalette& palette) {
    std::array<uint64_t, kMaxColors> uses{};
    for (size_t i = 0; i < mapped.size(); ++i)
        if (!transparent[i]) ++uses[mapped[i]];
    const auto least = std::min_element(uses.begin(), uses.end());
    const int index = static_cast<int>(least - uses.begin());
    if (*least == 0) return index;
    const uint8_t replacement = static_cast<uint8_t>(NearestOtherEntry(palette, index));
    for (size_t i = 0; i < mapped.size(); ++i)
        if (!transparent[i] && mapped[i] == index) mapped[i] = replacement;
    return index;
}

// Maps one frame to the palette; `sharedTransparent` is the index of transparent pixels, or -1
// when the palette is full and each frame finds its own.
void MapFrame(TGIFSubImage& frame, const TPalette& palette, TErrorDiffusion diffusion,
              int sharedTransparent) {
    const int width = frame.Width();
    const int height = frame.Height();
    const std::array<uint32_t, 256> colors = FrameColors(frame);
    const int transparentIndex = frame.TransparentColorIndex();
    TBitmap trueColor(width, height, pf24bit);
    std::vector<bool> transparent(static_cast<size_t>(width) * height, false);
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = frame.ScanLine(y);
        uint8_t* out = trueColor.ScanLine(y);
        for (int x = 0; x < width; ++x, out += 3) {
            const uint32_t color = colors[in[x]];
            out[0] = static_cast<uint8_t>(color);
            out[1] = static_cast<uint8_t>(color >> 8);
            out[2] = static_cast<uint8_t>(color >> 16);
            if (IsTransparent(in[x], transparentIndex))
                transparent[static_cast<size_t>(y) * width + x] = true;
        }
    }
    const std::unique_ptr<TBitmap> reduced =
        ReduceBitmapColors(trueColor, prCallerPalette, diffusion, kMaxReductionBits, &palette);
    std::vector<uint8_t> mapped(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        std::memcpy(mapped.data() + static_cast<size_t>(y) * width, reduced->ScanLine(y),
                    static_cast<size_t>(width));

    int newTransparent = -1;
    if (transparentIndex >= 0) {
        newTransparent = sharedTransparent >= 0
                             ? sharedTransparent
                             : FreeIndexInFullPalette(mapped, transparent, palette);
        for (size_t i = 0; i < mapped.size(); ++i)
            if (transparent[i]) mapped[i] = static_cast<uint8_t>(newTransparent);
    }
    std::memcpy(frame.EditPixels(), mapped.data(), mapped.size());
    frame.ColorMap().Clear();
    TGIFExtensionList& extensions = frame.Extensions();
    for (int i = 0; i < extensions.Count() && newTransparent >= 0; ++i) {
        auto* control = dynamic_cast<TGIFGraphicControlExtension*>(&extensions[i]);
        if (control && control->Transparent()) control->SetTransparentColorIndex(newTransparent);
    }
}

bool AnyTransparentFrame(const TGIFImageList& frames) {
    for (int i = 0; i < frames.Count(); ++i)
        if (!frames[i].Empty() && frames[i].Transparent()) return true;
    return false;
}

// The entry of `palette` nearest to the old background colour, so the header keeps pointing at
// a like colour.
int NewBackgroundIndex(TGIFImage& image, const TPalette& palette) {
    const TGIFColorMap& old = image.Header().ColorMap();
    const int index = image.Header().BackgroundColorIndex();
    if (old.Count() == 0 || index >= old.Count()) return 0;
    const TGIFColor color = old.Data()[index];
    return std::max(0, GetNearestPaletteIndex(palette, color.Red, color.Green, color.Blue));
}

}  // namespace

void ReduceToCommonPalette(TGIFImage& image, TPaletteReduction mode, int bits,
                           TErrorDiffusion diffusion, const std::function<void()>& frameDone) {
    if (mode > prOctreePlusSystem) throw GIFException("Invalid reduction method");
    if (diffusion > edBurkes) throw EInvalidGraphicOperation("Scan line index out of range");
    TPalette palette = BuildCommonPalette(image, mode, bits);
    TGIFImageList& frames = image.Images();
    int sharedTransparent = -1;
    if (AnyTransparentFrame(frames) && palette.size() < kMaxColors)
        sharedTransparent = static_cast<int>(palette.size());
    const int background = NewBackgroundIndex(image, palette);

    for (int i = 0; i < frames.Count(); ++i) {
        if (!frames[i].Empty()) MapFrame(frames[i], palette, diffusion, sharedTransparent);
        if (frameDone) frameDone();
    }
    if (sharedTransparent >= 0) palette.push_back({0, 0, 0, 0});
    image.Header().ColorMap().ImportPalette(palette);
    image.Header().SetBackgroundColorIndex(static_cast<uint8_t>(background));
}
