// A document's palette: read from and given to its colour tables.
#include "gif/core/GIFException.h"
#include "gif/model/GIFImage.h"

namespace {

const char* const kNoColorTable = "No global or local color table defined";

// Sets a flag for the time of a palette operation; a second one meanwhile is refused.
class TPaletteGuard {
public:
    explicit TPaletteGuard(bool& flag) : flag_(flag) {
        if (flag_) throw GIFException(kNoColorTable);
        flag_ = true;
    }
    ~TPaletteGuard() { flag_ = false; }
    TPaletteGuard(const TPaletteGuard&) = delete;
    TPaletteGuard& operator=(const TPaletteGuard&) = delete;

private:
    bool& flag_;
};

}  // namespace

TPalette TGIFImage::Palette() {
    TPaletteGuard guard(paletteGuard_);
    if (header_.ColorMap().Count() > 0) {
        if (!globalPaletteValid_) {
            globalPalette_ = header_.ColorMap().ExportPalette();
            globalPaletteValid_ = true;
        }
        return globalPalette_;
    }
    if (!Empty()) return images_[0].Palette();
    return {};
}

void TGIFImage::SetPalette(const TPalette& palette) {
    {
        TPaletteGuard guard(paletteGuard_);
        if (header_.ColorMap().Count() > 0)
            header_.ColorMap().ImportPalette(palette);
        else if (!Empty() && images_[0].ColorMap().Count() > 0)
            images_[0].ColorMap().ImportPalette(palette);
        else
            throw GIFException(kNoColorTable);
        paletteModified_ = true;
    }
    Changed();
}

void TGIFImage::GlobalColorMapChanged() {
    paletteModified_ = true;
    globalPaletteValid_ = false;
    globalPalette_.clear();
    FreeComposed();
    for (int i = 0; i < images_.Count(); ++i)
        if (images_[i].ColorMap().Count() == 0) images_[i].ColorMapChanged();
}
