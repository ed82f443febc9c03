#include "gif/model/GIFList.h"

#include <algorithm>

#include "gif/core/GIFException.h"
#include "gif/model/GIFImage.h"

TGIFList::~TGIFList() = default;

void TGIFList::SetImage(TGIFImage* image) {
    image_ = image;
    for (auto& item : items_) item->SetImage(image);
}

TGIFItem& TGIFList::Item(int index) const {
    if (index < 0 || index >= Count()) throw GIFException("List index out of bounds");
    return *items_[static_cast<size_t>(index)];
}

void TGIFList::Clear() {
    // Front to back without erasing from the front each time, which took quadratic time for
    // the millions of items a file can declare.
    std::vector<std::unique_ptr<TGIFItem>> items;
    items.swap(items_);
    for (std::unique_ptr<TGIFItem>& item : items) {
        Detaching(*item);
        item.reset();
    }
}

void TGIFList::Delete(int index) {
    std::unique_ptr<TGIFItem> item = Remove(&Item(index));
    item.reset();
}

std::unique_ptr<TGIFItem> TGIFList::Remove(TGIFItem* item) {
    const int index = IndexOf(item);
    if (index < 0) return nullptr;
    Detaching(*item);
    std::unique_ptr<TGIFItem> owned = std::move(items_[static_cast<size_t>(index)]);
    items_.erase(items_.begin() + index);
    return owned;
}

int TGIFList::IndexOf(const TGIFItem* item) const {
    const auto found = std::find_if(items_.begin(), items_.end(),
                                    [item](const auto& p) { return p.get() == item; });
    return found == items_.end() ? -1 : static_cast<int>(found - items_.begin());
}

void TGIFList::SaveToStream(TStream& stream) {
    for (auto& item : items_) item->SaveToStream(stream);
}

void TGIFList::Warning(int severity, const std::string& message) {
    if (image_) image_->Warning(this, severity, message);
}

int TGIFList::AppendItem(std::unique_ptr<TGIFItem> item) {
    items_.push_back(std::move(item));
    return Count() - 1;
}
