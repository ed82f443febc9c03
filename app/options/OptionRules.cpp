#include "app/options/OptionRules.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Rounds to nearest with halves to even, held inside the 32-bit range.
int32_t RoundToInt32(long double value) {
    const long double rounded = std::nearbyint(value);
    if (!(rounded >= std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    if (rounded > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(rounded);
}

int64_t RoundToInt64(long double value) {
    const long double rounded = std::nearbyint(value);
    if (!(rounded >= -9.2e18L)) return std::numeric_limits<int64_t>::min();
    if (rounded > 9.2e18L) return std::numeric_limits<int64_t>::max();
    return static_cast<int64_t>(rounded);
}

}  // namespace

int32_t FramesInDuration(int64_t durationUs, int rateNum, int rateDen) {
    if (rateDen == 0) return 0;
    return RoundToInt32(static_cast<long double>(durationUs) / 1000000 * rateNum / rateDen);
}

int32_t TenthsInDuration(int64_t durationUs) {
    return RoundToInt32(static_cast<long double>(durationUs) / 1000000 * 10);
}

TTrackBarRange TrackBarRangeFor(int32_t frameCount, int oldPosition, int oldMaximum) {
    const long double ratio =
        oldMaximum > 0 ? static_cast<long double>(oldPosition) / oldMaximum : 0.0L;
    TTrackBarRange range;
    range.Maximum = frameCount > 0 ? std::min<int32_t>(frameCount, kTrackBarLimit) : oldMaximum;
    range.Frequency = range.Maximum <= 10 ? 1 : range.Maximum / 10;
    if (range.Maximum <= 9)
        range.PageSize = 2;
    else if (range.Maximum >= 100)
        range.PageSize = range.Maximum / 20;
    else
        range.PageSize = 5;
    range.Position = RoundToInt32(ratio * range.Maximum);
    return range;
}

int TrackBarPositionOf(int64_t timeUs, int64_t durationUs, int maximum) {
    if (durationUs <= 0) return 0;
    const int32_t position = RoundToInt32(static_cast<long double>(maximum) * timeUs / durationUs);
    return std::min(maximum, position);
}

int64_t TimeOfTrackBarPosition(int position, int maximum, int64_t durationUs) {
    if (maximum == 0) return 0;
    return RoundToInt64(static_cast<long double>(position) / maximum * durationUs);
}

TPlacement AspectPlacement(int width, int height, int areaWidth, int areaHeight) {
    if (width <= 0 || height <= 0 || areaWidth <= 0 || areaHeight <= 0) return {};
    const double rx = static_cast<double>(width) / areaWidth;
    const double ry = static_cast<double>(height) / areaHeight;
    if (rx >= ry) {
        const int margin = static_cast<int>(std::nearbyint((areaHeight - height / rx) / 2));
        return {0, margin, areaWidth, areaHeight - 2 * margin};
    }
    const int margin = static_cast<int>(std::nearbyint((areaWidth - width / ry) / 2));
    return {margin, 0, areaWidth - 2 * margin, areaHeight};
}
