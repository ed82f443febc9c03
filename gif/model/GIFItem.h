#pragma once
// Base classes of everything a GIF document is made of.
#include <string>

class TStream;
class TGIFImage;

// Common root of the document, its lists and its items; the sender of diagnostics and progress.
class TGIFObject {
public:
    virtual ~TGIFObject() = default;
};

// A part of a document (header, frame, extension) that knows its owning document and can
// write and read itself in GIF form.
class TGIFItem : public TGIFObject {
public:
    explicit TGIFItem(TGIFImage* image) : image_(image) {}
    TGIFItem(const TGIFItem&) = delete;
    TGIFItem& operator=(const TGIFItem&) = delete;

    TGIFImage* Image() const { return image_; }
    virtual void SetImage(TGIFImage* image) { image_ = image; }

    // GIF version the item needs: 1 for "87a", 2 for "89a".
    virtual int Version() const { return 1; }
    // Passes a non-fatal problem to the owning document's OnDiagnostic.
    virtual void Warning(int severity, const std::string& message) const;
    void Warning(const std::string& message) const { Warning(1, message); }

    virtual void SaveToStream(TStream& stream) = 0;
    virtual void LoadFromStream(TStream& stream) = 0;
    void SaveToFile(const std::string& fileName);
    void LoadFromFile(const std::string& fileName);

private:
    TGIFImage* image_;
};
