#include "platform/Clipboard.h"

bool TMemoryClipboard::SetContent(const TBitmap& bitmap,
                                  const std::map<std::string, std::vector<uint8_t>>& data) {
    if (locked_) return false;
    bitmap_ = bitmap;
    data_ = data;
    return true;
}

bool TMemoryClipboard::HasFormat(const std::string& format) const {
    return data_.count(format) != 0;
}

std::vector<uint8_t> TMemoryClipboard::Data(const std::string& format) const {
    const auto found = data_.find(format);
    return found == data_.end() ? std::vector<uint8_t>() : found->second;
}

void TMemoryClipboard::SetBitmap(const TBitmap& bitmap) {
    Empty();
    bitmap_ = bitmap;
}

void TMemoryClipboard::SetData(const std::string& format, std::vector<uint8_t> bytes) {
    Empty();
    data_[format] = std::move(bytes);
}

void TMemoryClipboard::Empty() {
    bitmap_.reset();
    data_.clear();
}
