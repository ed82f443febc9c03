// Fuzz target: a BMP file read into a bitmap, converted to true colour and added to a GIF
// document as the programs do with their pictures.
#include <cstddef>
#include <cstdint>

#include "gif/model/GIFImage.h"
#include "platform/Bitmap.h"
#include "platform/Exception.h"
#include "platform/Stream.h"

namespace {
// Colour reduction visits every pixel a few times; larger pictures are only read.
constexpr int64_t kMaxPixelsToReduce = 1 << 18;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TBitmap bitmap;
    try {
        bitmap.LoadFromMemory(data, size);
    } catch (const Exception&) {
        return 0;
    }
    if (static_cast<int64_t>(bitmap.Width()) * bitmap.Height() > kMaxPixelsToReduce) return 0;
    try {
        TMemoryStream saved;
        bitmap.SaveToStream(saved);
        TGIFImage document;
        document.Add(bitmap);
        bitmap.SetPixelFormat(pf24bit);
        document.Add(bitmap);
        TMemoryStream gif;
        document.SaveToStream(gif);
    } catch (const Exception&) {}
    return 0;
}
