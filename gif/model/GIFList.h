#pragma once
// Owning ordered lists of document items: the frames of a document and the extension blocks
// in front of one frame.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gif/model/GIFItem.h"

class TGIFSubImage;
class TGIFExtension;

class TGIFList : public TGIFObject {
public:
    explicit TGIFList(TGIFImage* image) : image_(image) {}
    ~TGIFList() override;
    TGIFList(const TGIFList&) = delete;
    TGIFList& operator=(const TGIFList&) = delete;

    TGIFImage* Image() const { return image_; }
    void SetImage(TGIFImage* image);
    int Count() const { return static_cast<int>(items_.size()); }
    TGIFItem& Item(int index) const;

    // Frees every item, front to back.
    void Clear();
    // Removes and frees item `index`.
    void Delete(int index);
    // Detaches an item without freeing it; null when it is not in the list.
    std::unique_ptr<TGIFItem> Remove(TGIFItem* item);
    int IndexOf(const TGIFItem* item) const;

    // Every item in order.
    virtual void SaveToStream(TStream& stream);
    virtual void LoadFromStream(TStream& stream) = 0;
    void Warning(int severity, const std::string& message);

protected:
    int AppendItem(std::unique_ptr<TGIFItem> item);
    virtual void Detaching(TGIFItem&) {}

private:
    TGIFImage* image_;
    std::vector<std::unique_ptr<TGIFItem>> items_;
};

// The frames of a document.
class TGIFImageList : public TGIFList {
public:
    using TGIFList::TGIFList;
    TGIFSubImage& operator[](int index) const;
    int Add(std::unique_ptr<TGIFSubImage> frame);
    // Reads frames up to the trailer; see TGIFImage::LoadFromStream.
    void LoadFromStream(TStream& stream) override;
};

// The extension blocks in front of one frame.
class TGIFExtensionList : public TGIFList {
public:
    TGIFExtensionList(TGIFImage* image, TGIFSubImage& subImage)
        : TGIFList(image), subImage_(subImage) {}
    TGIFExtension& operator[](int index) const;
    int Add(std::unique_ptr<TGIFExtension> extension);
    // Reads extension blocks while the next byte is an extension introducer.
    void LoadFromStream(TStream& stream) override;

protected:
    void Detaching(TGIFItem& item) override;

private:
    // Counts an extension read from `streamBytes` bytes against the document's reading budget.
    void ChargeReading(uint64_t streamBytes);

    TGIFSubImage& subImage_;
};
