#include "gif/model/GIFSubImage.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "gif/codec/GIFDecoder.h"
#include "gif/codec/GIFEncoderCache.h"
#include "gif/core/GIFException.h"
#include "gif/format/GIFFrameRows.h"
#include "gif/format/GIFStreamIO.h"
#include "gif/model/GIFExtensions.h"
#include "gif/model/GIFImage.h"
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
    GrowLogicalScreen(Left() + Width(), Top() + Height());
}

void TGIFSubImage::AllocatePixels() {
    FreeBitmap();
    ReplacePixels({});
    pixels_.resize(static_cast<size_t>(Width()) * static_cast<size_t>(Height()), 0);
}

void TGIFSubImage::ReplacePixels(std::vector<uint8_t> pixels) {
    coded_.reset();
    pixels_ = std::move(pixels);
    pixelsCurrent_.store(true, std::memory_order_release);
}

void TGIFSubImage::GrowLogicalScreen(int right, int bottom) {
    TGIFImage* image = Image();
    if (!image) return;
    bool warned = false;
    TGIFHeader& header = image->Header();
    if (header.Width() < right) {
        if (header.Width() != 0) {
            Warning("Image width too small for contained frames");
            warned = true;
        }
        header.SetWidth(right);
    }
    if (header.Height() < bottom) {
        if (header.Height() != 0) {
            Warning("Image height too small for contained frames");
            warned = true;
        }
        header.SetHeight(bottom);
    }
    if (warned) Warning("Image exceeds Logical Screen size");
}

void TGIFSubImage::GrowLogicalScreenAsImported() {
    if (Width() == 0 || Height() == 0) return;
    GrowLogicalScreen(Left() + Width(), Top());
    GrowLogicalScreen(Left() + Width(), Top() + Height());
}

void TGIFSubImage::SetInterlaced(bool on) {
    descriptor_.PackedFields = static_cast<uint8_t>(on ? descriptor_.PackedFields | kInterlaced
                                                       : descriptor_.PackedFields & ~kInterlaced);
}

bool TGIFSubImage::Empty() const {
    return Width() == 0 || Height() == 0 || (!coded_ && pixels_.empty());
}

uint8_t* TGIFSubImage::EditPixels() {
    PixelData();
    coded_.reset();
    FreeBitmap();
    return pixels_.data();
}

void TGIFSubImage::DecodePixels() const {
    std::lock_guard<std::mutex> guard(decodeLock_);
    if (pixelsCurrent_.load(std::memory_order_relaxed)) return;
    const int fill = TransparentColorIndex();
    std::vector<uint8_t> pixels(static_cast<size_t>(Width()) * static_cast<size_t>(Height()),
                                static_cast<uint8_t>(fill < 0 ? 0 : fill));
    coded_->Decode(pixels.data(), Width(), Height());
    pixels_ = std::move(pixels);
    pixelsCurrent_.store(true, std::memory_order_release);
}

TGIFCoding TGIFSubImage::CodingFor(TGIFEncoding encoding, int documentBitsPerPixel) const {
    TGIFCoding coding;
    coding.Encoding = encoding;
    coding.BitsPerPixel = colorMap_.BitsPerPixel();
    coding.ColorLimit = colorMap_.Count();
    if (coding.ColorLimit == 0) {
        coding.BitsPerPixel = documentBitsPerPixel;
        coding.ColorLimit = 1 << coding.BitsPerPixel;
    }
    // A frame with a local colour table is always written without interlacing.
    coding.Interlaced = colorMap_.Count() == 0 && Interlaced();
    return coding;
}

bool TGIFSubImage::CodeImage(TGIFEncoding encoding) {
    TGIFEncoderCache encoders;
    return CodeImage(encoding, encoders);
}

bool TGIFSubImage::CodeImage(TGIFEncoding encoding, TGIFEncoderCache& encoders) {
    // Saving prepares the header first, which then says what the document's tables need.
    const TGIFImage* image = Image();
    return CodeImage(encoding, encoders, image ? image->Header().PreparedBitsPerPixel() : 8);
}

bool TGIFSubImage::CodeImage(TGIFEncoding encoding, TGIFEncoderCache& encoders,
                             int documentBitsPerPixel) {
    return CodeImageWith(encoding, encoders, documentBitsPerPixel, nullptr);
}

bool TGIFSubImage::CodeImage(TGIFEncoding encoding, TGIFEncoderCache& encoders,
                             int documentBitsPerPixel, const TLZWStrings& strings) {
    return CodeImageWith(encoding, encoders, documentBitsPerPixel, &strings);
}

bool TGIFSubImage::CodeImageWith(TGIFEncoding encoding, TGIFEncoderCache& encoders,
                                 int documentBitsPerPixel, const TLZWStrings* strings) {
    if (Empty()) return false;
    const TGIFCoding coding = CodingFor(encoding, documentBitsPerPixel);
    if (coded_ && coded_->Coding() == coding) return true;
    try {
        coded_ = strings ? std::make_shared<const TGIFCodedImage>(PixelData(), Width(), Height(),
                                                                  coding, encoders, *strings)
                         : std::make_shared<const TGIFCodedImage>(PixelData(), Width(), Height(),
                                                                  coding, encoders);
    } catch (const GIFException&) {
        return false;
    }
    pixelsCurrent_.store(false, std::memory_order_relaxed);
    std::vector<uint8_t>().swap(pixels_);
    return true;
}

const uint8_t* TGIFSubImage::ScanLine(int row) const {
    CheckCoordinates(0, row);
    return PixelData() + static_cast<size_t>(row) * static_cast<size_t>(Width());
}

uint8_t* TGIFSubImage::EditScanLine(int row) {
    CheckCoordinates(0, row);
    return EditPixels() + static_cast<size_t>(row) * static_cast<size_t>(Width());
}

void TGIFSubImage::CheckCoordinates(int x, int y) const {
    if (!coded_ && pixels_.empty()) throw GIFException("Image is empty");
    if (x < 0 || x >= Width() || y < 0 || y >= Height())
        throw GIFException("Invalid pixel coordinates");
}

uint8_t TGIFSubImage::Pixels(int x, int y) const {
    CheckCoordinates(x, y);
    return ScanLine(y)[x];
}

void TGIFSubImage::SetPixels(int x, int y, uint8_t index) {
    CheckCoordinates(x, y);
    EditScanLine(y)[x] = index;
}

void TGIFSubImage::Crop(const TRect& area) {
    const TRect inside = IntersectRect(area, {0, 0, Width(), Height()});
    if (inside.Empty() || !(inside == area)) throw GIFException("Invalid pixel coordinates");
    std::vector<uint8_t> kept(static_cast<size_t>(area.Width()) * area.Height());
    for (int y = 0; y < area.Height(); ++y)
        std::memcpy(kept.data() + static_cast<size_t>(y) * area.Width(),
                    ScanLine(area.Top + y) + area.Left, static_cast<size_t>(area.Width()));
    FreeBitmap();
    ReplacePixels(std::move(kept));
    descriptor_.Left = static_cast<uint16_t>(Left() + area.Left);
    descriptor_.Top = static_cast<uint16_t>(Top() + area.Top);
    descriptor_.Width = static_cast<uint16_t>(area.Width());
    descriptor_.Height = static_cast<uint16_t>(area.Height());
}

TGIFGraphicControlExtension* TGIFSubImage::TransparentControl() const {
    for (int i = 0; i < extensions_.Count(); ++i) {
        auto* control = dynamic_cast<TGIFGraphicControlExtension*>(&extensions_[i]);
        if (control && control->Transparent()) return control;
    }
    return nullptr;
}

int TGIFSubImage::TransparentColorIndex() const {
    const TGIFGraphicControlExtension* control = TransparentControl();
    return control ? control->TransparentColorIndex() : -1;
}

void TGIFSubImage::ExtensionAdded(TGIFExtension& extension) {
    auto* control = dynamic_cast<TGIFGraphicControlExtension*>(&extension);
    if (!control) return;
    if (!graphicControl_) graphicControl_ = control;
    if (control->Transparent()) TransparencyChanged();
}

void TGIFSubImage::ExtensionRemoved(TGIFExtension& extension) {
    if (&extension != graphicControl_ && !dynamic_cast<TGIFGraphicControlExtension*>(&extension))
        return;
    if (graphicControl_ == &extension) {
        // The next graphic control extension, if any, takes the first one's place.
        graphicControl_ = nullptr;
        for (int i = 0; i < extensions_.Count() && !graphicControl_; ++i)
            if (&extensions_[i] != &extension)
                graphicControl_ = dynamic_cast<TGIFGraphicControlExtension*>(&extensions_[i]);
    }
    TransparencyChanged();
}

void TGIFSubImage::ColorMapChanged() {
    paletteValid_ = false;
    palette_.clear();
    FreeBitmap();
}

int TGIFSubImage::Version() const { return colorMap_.Sorted() || extensions_.Count() > 0 ? 2 : 1; }

void TGIFSubImage::Clear() {
    extensions_.Clear();
    colorMap_.Clear();
    FreeBitmap();
    ReplacePixels({});
    descriptor_.Width = 0;
    descriptor_.Height = 0;
}

void TGIFSubImage::Assign(const TGIFSubImage& source) {
    if (&source == this) return;
    Clear();
    descriptor_ = source.descriptor_;
    colorMap_.Assign(source.colorMap_);
    // A coded frame's copy shares its coded data and decodes its own pixels when read.
    if (source.coded_) {
        coded_ = source.coded_;
        pixelsCurrent_.store(false, std::memory_order_relaxed);
    } else {
        pixels_.assign(source.PixelData(), source.PixelData() + source.DataSize());
    }
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
    const TGIFCoding coding =
        CodingFor(image ? image->Encoding() : geLZW, image ? image->BitsPerPixel() : 8);
    if (coded_ && coded_->Coding() == coding) {
        coded_->WriteTo(stream);
        return;
    }
    std::unique_ptr<TGIFEncoder> encoder = CreateGIFEncoder(coding.Encoding);
    encoder->OnWarning = [this](const std::string& message) { Warning(message); };
    encoder->Compress(stream, coding.BitsPerPixel, coding.ColorLimit, PixelData(),
                      coding.Interlaced, Height(), Width());
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
    const uint8_t fill = static_cast<uint8_t>(Transparent() ? TransparentColorIndex() : 0);
    // The pixels grow with the data rather than being allocated at the declared size first.
    TGIFFrameRows rows(Width(), Height(), Interlaced(), fill, budget);
    const size_t decoded = DecodeGIFImageData(
        stream, [&rows](int) { return rows.NextRow(); }, Width(), Height(), Interlaced(),
        [this](const std::string& message) { Warning(message); });
    // A frame read keeps its pixels, not the file's coded data: damaged data shows while the
    // file is read, what the pixels take is counted against the reading budget then (a small
    // file can code frames far larger than itself), and saving codes them with this library's
    // own encoder.
    ReplacePixels(rows.Take(decoded));
    if (GIFDefaults().BuildBitmapsOnLoad) Bitmap();
}
