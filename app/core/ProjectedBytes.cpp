#include "app/core/ProjectedBytes.h"

#include <algorithm>

#include "app/core/FrameSink.h"

namespace {

constexpr double kMicroseconds = 1e6;
constexpr double kHundredths = 100;
// The smallest share a projection scales up from.
constexpr double kLeastShare = 1e-3;

}  // namespace

int64_t ProjectedGifBytes(const TFrameSink& sink, int64_t pieceLength, double frameRate,
                          int64_t limit) {
    const double written = static_cast<double>(sink.BytesWritten());
    const double piece = static_cast<double>(pieceLength);
    double share = 1;
    if (pieceLength > 0 && sink.WrittenHundredths() > 0)
        share =
            static_cast<double>(sink.WrittenHundredths()) * (kMicroseconds / kHundredths) / piece;
    else if (pieceLength > 0 && frameRate > 0 && sink.WrittenFrames() > 0)
        share = sink.WrittenFrames() / (frameRate * piece / kMicroseconds);
    share = std::clamp(share, kLeastShare, 1.0);
    return std::max(static_cast<int64_t>(written / share), limit + 1);
}
