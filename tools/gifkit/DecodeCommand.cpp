// gifkit decode: every frame of a GIF file as an 8-bit BMP picture with the frame's colours.
#include <cstdio>
#include <cstring>
#include <string>

#include "gif/model/GIFImage.h"
#include "platform/Bitmap.h"
#include "tools/gifkit/Commands.h"

namespace {

std::string FrameFileName(const std::string& prefix, int index) {
    char number[16];
    std::snprintf(number, sizeof number, "_%03d.bmp", index);
    return prefix + number;
}

// The frame's active colour table, padded with black so that every index has a colour.
TPalette FramePalette(TGIFSubImage& frame) {
    TPalette palette = frame.ActiveColorMap().ExportPalette();
    for (TPaletteEntry& entry : palette) entry.peFlags = 0;
    palette.resize(256);
    return palette;
}

void SaveFrame(TGIFSubImage& frame, const std::string& fileName) {
    TBitmap picture(frame.Width(), frame.Height(), pf8bit);
    picture.SetPalette(FramePalette(frame));
    for (int row = 0; row < frame.Height(); ++row)
        std::memcpy(picture.ScanLine(row), frame.ScanLine(row), static_cast<size_t>(frame.Width()));
    picture.SaveToFile(fileName);
}

}  // namespace

int DecodeCommand(const TArguments& arguments) {
    if (arguments.size() != 2) throw TUsageError("decode needs a GIF file and a prefix");
    TGIFImage document;
    document.LoadFromFile(arguments[0]);
    for (int i = 0; i < document.Images().Count(); ++i) {
        TGIFSubImage& frame = document.Images()[i];
        if (!frame.Empty()) SaveFrame(frame, FrameFileName(arguments[1], i));
    }
    return 0;
}
