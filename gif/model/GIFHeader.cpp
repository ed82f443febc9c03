#include "gif/model/GIFHeader.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "gif/core/GIFException.h"
#include "gif/format/GIFStreamIO.h"
#include "gif/model/GIFImage.h"
#include "gif/model/GIFSubImage.h"
#include "platform/Stream.h"

namespace {

constexpr uint8_t kGlobalTablePresent = 0x80;
constexpr uint8_t kGlobalTableSorted = 0x08;

bool StartsWithGIF(const char* signature) {
    return std::toupper(static_cast<unsigned char>(signature[0])) == 'G' &&
           std::toupper(static_cast<unsigned char>(signature[1])) == 'I' &&
           std::toupper(static_cast<unsigned char>(signature[2])) == 'F';
}

const char* VersionText(int version) { return version >= 2 ? "89a" : "87a"; }

}  // namespace

TGIFHeader::TGIFHeader(TGIFImage* image) : TGIFItem(image), colorMap_(*this) {}

int TGIFHeader::Version() const {
    return colorMap_.Sorted() || descriptor_.AspectRatio != 0 ? 2 : 1;
}

int TGIFHeader::PreparedBitsPerPixel() const {
    if (colorMap_.Count() > 0) return colorMap_.BitsPerPixel();
    int bitsPerPixel = 0;
    if (const TGIFImage* image = Image()) {
        const TGIFImageList& frames = image->Images();
        for (int i = 0; i < frames.Count(); ++i)
            bitsPerPixel = std::max(bitsPerPixel, frames[i].ColorMap().BitsPerPixel());
    }
    return std::clamp(bitsPerPixel, 1, 8);
}

void TGIFHeader::Prepare() { Prepare(PreparedBitsPerPixel()); }

// The size field must give the global table's own size, which is how many entries follow the
// descriptor; a reader takes the table's length from it.
void TGIFHeader::Prepare(int framesBitsPerPixel) {
    const int largest = std::clamp(std::max(framesBitsPerPixel, colorMap_.BitsPerPixel()), 1, 8);
    const int size = colorMap_.Count() > 0 ? colorMap_.BitsPerPixel() : largest;
    uint8_t packed = static_cast<uint8_t>(((largest - 1) << 4) | (size - 1));
    if (colorMap_.Count() > 0) {
        packed |= kGlobalTablePresent;
        if (colorMap_.Sorted()) packed |= kGlobalTableSorted;
    }
    descriptor_.PackedFields = packed;
}

void TGIFHeader::SaveToStream(TStream& stream) {
    SaveToStream(stream, Image() ? Image()->Version() : Version());
}

void TGIFHeader::SaveToStream(TStream& stream, int version) {
    stream.WriteBuffer("GIF", 3);
    stream.WriteBuffer(VersionText(version), 3);
    WriteGIFWord(stream, descriptor_.ScreenWidth);
    WriteGIFWord(stream, descriptor_.ScreenHeight);
    const uint8_t rest[3] = {descriptor_.PackedFields, descriptor_.BackgroundColorIndex,
                             descriptor_.AspectRatio};
    stream.WriteBuffer(rest, 3);
    if (descriptor_.PackedFields & kGlobalTablePresent) colorMap_.SaveToStream(stream);
}

void TGIFHeader::ReadSignature(TStream& stream) {
    // The signature may also stand 4 bytes further on (behind a small prefix some programs
    // write); a stream too short to hold it at either place has no signature at all.
    const int64_t start = stream.Position();
    char signature[6];
    size_t got = stream.Read(signature, sizeof signature);
    if (got < 3 || !StartsWithGIF(signature)) {
        stream.SetPosition(start + 4);
        got = stream.Read(signature, sizeof signature);
        if (got < 3 || !StartsWithGIF(signature)) throw GIFException("Invalid GIF signature");
    }
    if (got < sizeof signature) throw GIFException("Premature end of data");
    signatureVersion_.assign(signature + 3, 3);
}

void TGIFHeader::LoadFromStream(TStream& stream) {
    ReadSignature(stream);
    descriptor_.ScreenWidth = ReadGIFWord(stream);
    descriptor_.ScreenHeight = ReadGIFWord(stream);
    uint8_t rest[3];
    ReadGIFBytes(stream, rest, 3);
    descriptor_.PackedFields = rest[0];
    descriptor_.BackgroundColorIndex = rest[1];
    descriptor_.AspectRatio = rest[2];
    if (descriptor_.PackedFields & kGlobalTablePresent) {
        colorMap_.LoadFromStream(stream, 1 << ((descriptor_.PackedFields & 0x07) + 1));
        if (descriptor_.PackedFields & kGlobalTableSorted) colorMap_.MarkSorted();
    } else {
        colorMap_.Clear();
    }
}

void TGIFHeader::Clear() {
    colorMap_.Clear();
    descriptor_.ScreenWidth = 0;
    descriptor_.ScreenHeight = 0;
}

void TGIFHeader::Assign(const TGIFHeader& source) {
    if (&source == this) return;
    descriptor_ = source.descriptor_;
    signatureVersion_ = source.signatureVersion_;
    colorMap_.Assign(source.colorMap_);
}
