#include "gif/GIFSubImage.h"

#include <algorithm>
#include <optional>

#include "gif/GIFDecoder.h"
#include "gif/GIFEncoder.h"
#include "gif/GIFException.h"
#include "gif/GIFExtensions.h"
#include "gif/GIFFrameRows.h"
#include "gif/GIFImage.h"
#include "gif/GIFStreamIO.h"
#include "platform/Stream.h"

namespace {

constexpr int kMaxDimension = 0xFFFF;
constexpr uint8_t kLocalTablePresent = 0x80;
constexpr uint8_t kInterlaced = 0x40;
constexpr uint8_t kLocalTableSorted = 0x20;
constexpr uint8_t kKeptWithoutLocalTable = 0x58;  // interlace and reserved bits

bool InRange(int value) { return value >= 0 && value <= kMaxDimension; }

}  // namespace

TGIFSubImage::TGIFSubImage(TGIFImage* image)
    : TGIFItem(image), extensions_(image, *this), colorMap_(*this) {}

TGIFSubImage::~TGIFSubImage() { extensions_.Clear(); }

void TGIFSubImage::SetImage(TGIFImage* image) {
    TGIFItem::SetImage(image);
    extensions_.SetImage(image);
}

TGIFColorMap& TGIFSubImage::ActiveColorMap() {
    TGIFImage* image = Image();
    if (colorMap_.Count() > 0 || !image || image->Header().ColorMap().Count() == 0)
        return colorMap_;
    return image->Header().ColorMap();
}

void TGIFSubImage::SetBounds(int left, int top, int width, int height) {
    if (!InRange(left) || !InRange(top) || !InRange(width) || !InRange(height) ||
        !InRange(left + width) || !InRange(top + height))
        throw GIFException("Invalid image dimensions");
    const bool resized = width != Width() || height != Height();
    descriptor_.Left = static_cast<uint16_t>(left);
    descriptor_.Top = static_cast<uint16_t>(top);
    descriptor_.Width = static_cast<uint16_t>(width);
    descriptor_.Height = static_cast<uint16_t>(height);
    if (resized) AllocatePixels();
    GrowLogicalScreen();
}

void TGIFSubImage::AllocatePixels() {
    pixels_.clear();
    pixels_.shrink_to_fit();
    pixels_.resize(static_cast<size_t>(Width()) * static_cast<size_t>(Height()), 0);
}

void TGIFSubImage::GrowLogicalScreen() {
    TGIFImage* image = Image();
    if (!image) return;
    bool warned = false;
    TGIFHeader& header = image->Header();
    if (header.Width() < Left() + Width()) {
        if (header.Width() != 0) {
            Warning("Image width too small for contained frames");
            warned = true;
        }
        header.SetWidth(Left() + Width());
    }
    if (header.Height() < Top() + Height()) {
        if (header.Height() != 0) {
            Warning("Image height too small for contained frames");
            warned = true;
        }
        header.SetHeight(Top() + Height());
    }
    if (warned) Warning("Image exceeds Logical Screen size");
}

void TGIFSubImage::SetInterlaced(bool on) {
    descriptor_.PackedFields = static_cast<uint8_t>(on ? descriptor_.PackedFields | kInterlaced
                                                       : descriptor_.PackedFields & ~kInterlaced);
}

bool TGIFSubImage::Empty() const { return Width() == 0 || Height() == 0 || pixels_.empty(); }

uint8_t* TGIFSubImage::ScanLine(int row) {
    if (pixels_.empty()) throw GIFException("Image is empty");
    if (row < 0 || row >= Height()) throw GIFException("Invalid pixel coordinates");
    return pixels_.data() + static_cast<size_t>(row) * static_cast<size_t>(Width());
}

uint8_t TGIFSubImage::Pixels(int x, int y) const {
    if (pixels_.empty()) throw GIFException("Image is empty");
    if (x < 0 || x >= Width() || y < 0 || y >= Height())
        throw GIFException("Invalid pixel coordinates");
    return pixels_[static_cast<size_t>(y) * static_cast<size_t>(Width()) + static_cast<size_t>(x)];
}

void TGIFSubImage::SetPixels(int x, int y, uint8_t index) {
    if (pixels_.empty()) throw GIFException("Image is empty");
    if (x < 0 || x >= Width() || y < 0 || y >= Height())
        throw GIFException("Invalid pixel coordinates");
    pixels_[static_cast<size_t>(y) * static_cast<size_t>(Width()) + static_cast<size_t>(x)] = index;
}

bool TGIFSubImage::Transparent() const { return graphicControl_ && graphicControl_->Transparent(); }

void TGIFSubImage::ExtensionAdded(TGIFExtension& extension) {
    if (!graphicControl_) graphicControl_ = dynamic_cast<TGIFGraphicControlExtension*>(&extension);
}

void TGIFSubImage::ExtensionRemoved(TGIFExtension& extension) {
    if (graphicControl_ == &extension) graphicControl_ = nullptr;
}

int TGIFSubImage::Version() const { return colorMap_.Sorted() || extensions_.Count() > 0 ? 2 : 1; }

void TGIFSubImage::Clear() {
    extensions_.Clear();
    colorMap_.Clear();
    pixels_.clear();
    pixels_.shrink_to_fit();
    descriptor_.Width = 0;
    descriptor_.Height = 0;
}

void TGIFSubImage::Assign(const TGIFSubImage& source) {
    if (&source == this) return;
    Clear();
    descriptor_ = source.descriptor_;
    colorMap_.Assign(source.colorMap_);
    pixels_ = source.pixels_;
    for (int i = 0; i < source.extensions_.Count(); ++i)
        extensions_.Add(source.extensions_[i].Clone(this));
}

// Writing

void TGIFSubImage::PrepareDescriptor() {
    if (colorMap_.Count() > 0) {
        uint8_t packed = static_cast<uint8_t>(kLocalTablePresent | (colorMap_.BitsPerPixel() - 1));
        if (colorMap_.Sorted()) packed |= kLocalTableSorted;
        descriptor_.PackedFields = packed;
    } else {
        descriptor_.PackedFields &= kKeptWithoutLocalTable;
    }
}

void TGIFSubImage::SaveToStream(TStream& stream) {
    extensions_.SaveToStream(stream);
    if (Empty()) return;
    PrepareDescriptor();
    stream.WriteByte(descriptor_.Separator);
    WriteGIFWord(stream, descriptor_.Left);
    WriteGIFWord(stream, descriptor_.Top);
    WriteGIFWord(stream, descriptor_.Width);
    WriteGIFWord(stream, descriptor_.Height);
    stream.WriteByte(descriptor_.PackedFields);
    colorMap_.SaveToStream(stream);
    WriteImage(stream);
}

void TGIFSubImage::WriteImage(TStream& stream) {
    const TGIFImage* image = Image();
    std::unique_ptr<TGIFEncoder> encoder = CreateGIFEncoder(image ? image->Encoding() : geLZW);
    encoder->OnWarning = [this](const std::string& message) { Warning(message); };
    int bitsPerPixel = colorMap_.BitsPerPixel();
    int colorLimit = colorMap_.Count();
    if (colorLimit == 0) {
        bitsPerPixel = image ? image->BitsPerPixel() : 8;
        colorLimit = 1 << bitsPerPixel;
    }
    encoder->Compress(stream, bitsPerPixel, colorLimit, pixels_.data(), Interlaced(), Height(),
                      Width());
}

// Reading

void TGIFSubImage::LoadFromStream(TStream& stream) {
    Clear();
    extensions_.LoadFromStream(stream);
    // Anything but an image descriptor (the trailer, padding, the end of the stream) leaves a
    // frame of extensions only.
    if (PeekGIFByte(stream) != bsImageDescriptor) return;
    ReadImage(stream);
}

void TGIFSubImage::ReadImage(TStream& stream) {
    uint8_t bytes[10];
    ReadGIFBytes(stream, bytes, sizeof bytes);
    descriptor_.Separator = bytes[0];
    descriptor_.Left = static_cast<uint16_t>(bytes[1] | (bytes[2] << 8));
    descriptor_.Top = static_cast<uint16_t>(bytes[3] | (bytes[4] << 8));
    descriptor_.Width = static_cast<uint16_t>(bytes[5] | (bytes[6] << 8));
    descriptor_.Height = static_cast<uint16_t>(bytes[7] | (bytes[8] << 8));
    descriptor_.PackedFields = bytes[9];
    if (descriptor_.Width == 0 || descriptor_.Height == 0) {
        const TGIFImage* image = Image();
        descriptor_.Width = static_cast<uint16_t>(image ? image->Width() : 0);
        descriptor_.Height = static_cast<uint16_t>(image ? image->Height() : 0);
        Warning("Image exceeds Logical Screen size");
    }
    if (descriptor_.PackedFields & kLocalTablePresent) {
        colorMap_.LoadFromStream(stream, 1 << ((descriptor_.PackedFields & 0x07) + 1));
        if (descriptor_.PackedFields & kLocalTableSorted) colorMap_.MarkSorted();
    }
    // A frame read outside a document is held to the limits on its own.
    std::optional<TGIFReadBudget> ownBudget;
    TGIFReadBudget& budget = Image() ? Image()->ReadBudget() : ownBudget.emplace();
    budget.CheckFrameSize(Width(), Height());
    if (Width() == 0 || Height() == 0) {
        // A frame without area still carries its image data; step over it.
        ReadGIFByte(stream);
        SkipGIFSubBlocks(stream);
        return;
    }
    const uint8_t fill =
        Transparent() ? static_cast<uint8_t>(graphicControl_->TransparentColorIndex()) : 0;
    // The pixels grow with the data rather than being allocated at the declared size first.
    TGIFFrameRows rows(Width(), Height(), Interlaced(), fill, budget);
    const size_t decoded = DecodeGIFImageData(
        stream, [&rows](int) { return rows.NextRow(); }, Width(), Height(), Interlaced(),
        [this](const std::string& message) { Warning(message); });
    pixels_ = rows.Take(decoded);
}
