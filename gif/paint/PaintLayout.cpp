#include "gif/paint/PaintLayout.h"

#include <algorithm>
#include <cstdint>

namespace {

int Scale(int value, int from, int to) {
    return static_cast<int>(static_cast<int64_t>(value) * to / std::max(from, 1));
}

}  // namespace

std::vector<TPlacedPart> PlacePicture(const TRect& target, int width, int height, bool tile) {
    std::vector<TPlacedPart> parts;
    if (target.Empty() || width <= 0 || height <= 0) return parts;
    if (!tile) {
        parts.push_back({target, {0, 0, width, height}});
        return parts;
    }
    for (int top = target.Top; top < target.Bottom; top += height)
        for (int left = target.Left; left < target.Right; left += width) {
            const TRect dest{left, top, std::min(left + width, target.Right),
                             std::min(top + height, target.Bottom)};
            parts.push_back({dest, {0, 0, dest.Width(), dest.Height()}});
        }
    return parts;
}

std::vector<TPlacedPart> PlaceArea(const std::vector<TPlacedPart>& placements, const TRect& area) {
    std::vector<TPlacedPart> parts;
    for (const TPlacedPart& placement : placements) {
        const TRect& source = placement.Source;
        const TRect& dest = placement.Dest;
        const TRect inside = IntersectRect(source, area);
        if (inside.Empty()) continue;
        const TRect mapped{
            dest.Left + Scale(inside.Left - source.Left, source.Width(), dest.Width()),
            dest.Top + Scale(inside.Top - source.Top, source.Height(), dest.Height()),
            dest.Left + Scale(inside.Right - source.Left, source.Width(), dest.Width()),
            dest.Top + Scale(inside.Bottom - source.Top, source.Height(), dest.Height())};
        if (mapped.Empty()) continue;
        parts.push_back({mapped,
                         {inside.Left - area.Left, inside.Top - area.Top, inside.Right - area.Left,
                          inside.Bottom - area.Top}});
    }
    return parts;
}
