#include "gif/model/GIFItem.h"

#include "gif/model/GIFImage.h"
#include "platform/Stream.h"

void TGIFItem::Warning(int severity, const std::string& message) const {
    if (image_) image_->Warning(const_cast<TGIFItem*>(this), severity, message);
}

void TGIFItem::SaveToFile(const std::string& fileName) {
    TFileStream file(fileName, TFileStream::Mode::Create);
    SaveToStream(file);
}

void TGIFItem::LoadFromFile(const std::string& fileName) {
    TFileStream file(fileName, TFileStream::Mode::OpenRead);
    LoadFromStream(file);
}
