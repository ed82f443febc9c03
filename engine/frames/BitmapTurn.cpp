#include "engine/frames/BitmapTurn.h"

#include <cstring>

namespace {

// Where the pixel (x, y) of the turned picture comes from: source x = X0 + XX * x + XY * y,
// source y = Y0 + YX * x + YY * y.
struct TSourceMap {
    int X0 = 0, XX = 1, XY = 0;
    int Y0 = 0, YX = 0, YY = 1;
};

TSourceMap SourceMapOf(const TPictureTurn& turn, int width, int height) {
    TSourceMap map;
    switch (turn.Transpose) {
        case TPictureTurn::tpCClockFlip:  // the plain transpose
            map = {0, 0, 1, 0, 1, 0};
            break;
        case TPictureTurn::tpClock:
            map = {0, 0, 1, height - 1, -1, 0};
            break;
        case TPictureTurn::tpCClock:
            map = {width - 1, 0, -1, 0, 1, 0};
            break;
        case TPictureTurn::tpClockFlip:
            map = {width - 1, 0, -1, height - 1, -1, 0};
            break;
        default:
            break;
    }
    // The flips act on the picture the transpose made.
    const int outWidth = turn.SwapsSides() ? height : width;
    const int outHeight = turn.SwapsSides() ? width : height;
    if (turn.HFlip) {  // x -> outWidth - 1 - x
        map.X0 += map.XX * (outWidth - 1);
        map.Y0 += map.YX * (outWidth - 1);
        map.XX = -map.XX;
        map.YX = -map.YX;
    }
    if (turn.VFlip) {  // y -> outHeight - 1 - y
        map.X0 += map.XY * (outHeight - 1);
        map.Y0 += map.YY * (outHeight - 1);
        map.XY = -map.XY;
        map.YY = -map.YY;
    }
    return map;
}

}  // namespace

void TurnBitmap(const TBitmap& in, const TPictureTurn& turn, TBitmap& out) {
    const int bits = BitsPerPixel(in.PixelFormat());
    const bool quarterTurns = turn.SwapsSides() || turn.HFlip || turn.VFlip;
    if (!quarterTurns || bits < 8 || in.Empty()) {
        out = in;
        return;
    }
    const int width = in.Width();
    const int height = in.Height();
    const size_t pixelBytes = static_cast<size_t>(bits / 8);
    const TSourceMap map = SourceMapOf(turn, width, height);
    out = TBitmap();
    out.SetPixelFormat(in.PixelFormat());
    out.SetPalette(in.Palette());
    out.SetSize(turn.SwapsSides() ? height : width, turn.SwapsSides() ? width : height);
    for (int y = 0; y < out.Height(); ++y) {
        uint8_t* row = out.ScanLine(y);
        for (int x = 0; x < out.Width(); ++x) {
            const int sx = map.X0 + map.XX * x + map.XY * y;
            const int sy = map.Y0 + map.YX * x + map.YY * y;
            std::memcpy(row + x * pixelBytes, in.ScanLine(sy) + sx * pixelBytes, pixelBytes);
        }
    }
}
