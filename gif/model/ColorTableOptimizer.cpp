#include "gif/model/ColorTableOptimizer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <numeric>

#include "gif/model/GIFColorMap.h"
#include "gif/model/GIFExtensions.h"
#include "gif/model/GIFImage.h"
#include "gif/model/GIFSubImage.h"

namespace {

using TUseCounts = std::array<uint64_t, TGIFColorMap::MaxColors>;
using TIndexMap = std::array<uint8_t, TGIFColorMap::MaxColors>;

TUseCounts CountUses(const std::vector<TGIFSubImage*>& users) {
    TUseCounts uses{};
    for (const TGIFSubImage* frame : users) {
        const uint8_t* pixel = frame->PixelData();
        const uint8_t* end = pixel + frame->DataSize();
        for (; pixel != end; ++pixel) ++uses[*pixel];
    }
    return uses;
}

void RemapFrame(TGIFSubImage& frame, const TIndexMap& newIndex, int count) {
    uint8_t* pixel = frame.EditPixels();
    uint8_t* end = pixel + frame.DataSize();
    for (; pixel != end; ++pixel) *pixel = newIndex[*pixel];
    TGIFExtensionList& extensions = frame.Extensions();
    for (int i = 0; i < extensions.Count(); ++i) {
        auto* control = dynamic_cast<TGIFGraphicControlExtension*>(&extensions[i]);
        if (control && control->TransparentColorIndex() < count)
            control->SetTransparentColorIndex(
                newIndex[static_cast<size_t>(control->TransparentColorIndex())]);
    }
}

}  // namespace

bool OptimizeColorMap(TGIFColorMap& map, const std::vector<TGIFSubImage*>& users,
                      uint8_t* background) {
    const int count = map.Count();
    if (count <= 1) return false;
    const TUseCounts uses = CountUses(users);
    if (std::all_of(uses.begin(), uses.begin() + count, [](uint64_t n) { return n == 0; }))
        return false;

    std::vector<int> order(static_cast<size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&uses](int a, int b) { return uses[a] > uses[b]; });
    const auto firstUnused =
        std::find_if(order.begin(), order.end(), [&uses](int i) { return uses[i] == 0; });
    int kept = static_cast<int>(firstUnused - order.begin());
    const bool hasBackground = background && *background < count;
    if (hasBackground && uses[*background] == 0) {
        const auto at = std::find(firstUnused, order.end(), static_cast<int>(*background));
        std::rotate(firstUnused, at, at + 1);
        ++kept;
    }
    const bool reordered = !std::is_sorted(order.begin(), order.end());
    if (!reordered && kept == count) return false;

    if (reordered) {
        TIndexMap newIndex;
        for (size_t i = 0; i < newIndex.size(); ++i) newIndex[i] = static_cast<uint8_t>(i);
        for (int i = 0; i < count; ++i)
            newIndex[static_cast<size_t>(order[i])] = static_cast<uint8_t>(i);
        for (TGIFSubImage* frame : users) RemapFrame(*frame, newIndex, count);
        if (hasBackground) *background = newIndex[*background];
    }
    std::vector<TGIFColor> colors(static_cast<size_t>(kept));
    for (int i = 0; i < kept; ++i)
        colors[static_cast<size_t>(i)] = map.Data()[order[static_cast<size_t>(i)]];
    map.Replace(std::move(colors), true);
    return true;
}

bool OptimizeLocalColorMap(TGIFSubImage& frame) {
    return OptimizeColorMap(frame.ColorMap(), {&frame});
}

bool OptimizeGlobalColorMap(TGIFImage& image) {
    std::vector<TGIFSubImage*> users;
    TGIFImageList& frames = image.Images();
    for (int i = 0; i < frames.Count(); ++i)
        if (frames[i].ColorMap().Count() == 0) users.push_back(&frames[i]);
    TGIFHeader& header = image.Header();
    uint8_t background = header.BackgroundColorIndex();
    const bool changed = OptimizeColorMap(header.ColorMap(), users, &background);
    header.SetBackgroundColorIndex(background);
    return changed;
}
