#include "gif/model/GIFExtensions.h"

#include <cstring>

#include "gif/core/GIFException.h"
#include "gif/format/GIFStreamIO.h"
#include "gif/model/GIFSubImage.h"
#include "platform/Stream.h"

namespace {

void SaveLines(TStream& stream, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) WriteGIFSubBlocks(stream, line);
    stream.WriteByte(0);
}

void WriteLongWord(TStream& stream, uint32_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    stream.WriteBuffer(bytes, 4);
}

}  // namespace

TGIFExtension::TGIFExtension(TGIFSubImage* subImage)
    : TGIFItem(subImage ? subImage->Image() : nullptr), subImage_(subImage) {}

void TGIFExtension::SaveToStream(TStream& stream) {
    const uint8_t start[2] = {bsExtensionIntroducer, Label()};
    stream.WriteBuffer(start, 2);
    SaveBody(stream);
}

void TGIFExtension::LoadFromStream(TStream& stream) {
    if (ReadGIFByte(stream) != bsExtensionIntroducer)
        throw GIFException("Invalid extension introducer");
    if (ReadGIFByte(stream) != Label())
        throw GIFException("Internal error: Extension Instance does not match Extension Label");
    LoadBody(stream);
}

// Graphic control extension

std::unique_ptr<TGIFExtension> TGIFGraphicControlExtension::Clone(TGIFSubImage* subImage) const {
    auto copy = std::make_unique<TGIFGraphicControlExtension>(subImage);
    copy->record_ = record_;
    return copy;
}

void TGIFGraphicControlExtension::SetFlag(uint8_t flag, bool on) {
    record_.PackedFields =
        static_cast<uint8_t>(on ? record_.PackedFields | flag : record_.PackedFields & ~flag);
    TransparencyChanged();
}

void TGIFGraphicControlExtension::SetTransparentColorIndex(int index) {
    record_.TransparentColorIndex = static_cast<uint8_t>(index);
    TransparencyChanged();
}

void TGIFGraphicControlExtension::TransparencyChanged() const {
    if (SubImage()) SubImage()->TransparencyChanged();
}

void TGIFGraphicControlExtension::SetDisposal(TDisposalMethod method) {
    record_.PackedFields =
        static_cast<uint8_t>((record_.PackedFields & ~0x1C) | ((method & 0x07) << 2));
}

void TGIFGraphicControlExtension::SaveBody(TStream& stream) {
    const uint8_t bytes[6] = {record_.BlockSize,
                              record_.PackedFields,
                              static_cast<uint8_t>(record_.DelayTime & 0xFF),
                              static_cast<uint8_t>(record_.DelayTime >> 8),
                              record_.TransparentColorIndex,
                              record_.Terminator};
    stream.WriteBuffer(bytes, 6);
}

void TGIFGraphicControlExtension::LoadBody(TStream& stream) {
    uint8_t bytes[6];
    const size_t got = stream.Read(bytes, sizeof bytes);
    // A cut block keeps the fields it reached; the others stay as they were.
    const auto has = [got](size_t offset) { return offset < got; };
    if (has(0)) record_.BlockSize = bytes[0];
    if (has(1)) record_.PackedFields = bytes[1];
    if (has(2)) record_.DelayTime = static_cast<uint16_t>((record_.DelayTime & 0xFF00) | bytes[2]);
    if (has(3))
        record_.DelayTime = static_cast<uint16_t>((record_.DelayTime & 0x00FF) | (bytes[3] << 8));
    if (has(4)) record_.TransparentColorIndex = bytes[4];
    if (has(5)) record_.Terminator = bytes[5];
    if (got < sizeof bytes) Warning("Premature end of data");
}

// Comment extension

std::unique_ptr<TGIFExtension> TGIFCommentExtension::Clone(TGIFSubImage* subImage) const {
    auto copy = std::make_unique<TGIFCommentExtension>(subImage);
    copy->text_ = text_;
    return copy;
}

void TGIFCommentExtension::SaveBody(TStream& stream) { SaveLines(stream, text_); }

void TGIFCommentExtension::LoadBody(TStream& stream) { text_ = ReadGIFSubBlocks(stream); }

// Plain text extension

std::unique_ptr<TGIFExtension> TGIFTextExtension::Clone(TGIFSubImage* subImage) const {
    auto copy = std::make_unique<TGIFTextExtension>(subImage);
    copy->record_ = record_;
    copy->text_ = text_;
    return copy;
}

void TGIFTextExtension::SaveBody(TStream& stream) {
    stream.WriteByte(record_.BlockSize);
    WriteGIFWord(stream, record_.Left);
    WriteGIFWord(stream, record_.Top);
    WriteGIFWord(stream, record_.Width);
    WriteGIFWord(stream, record_.Height);
    const uint8_t cells[4] = {record_.CellWidth, record_.CellHeight, record_.TextFGColorIndex,
                              record_.TextBGColorIndex};
    stream.WriteBuffer(cells, 4);
    SaveLines(stream, text_);
}

void TGIFTextExtension::LoadBody(TStream& stream) {
    record_.BlockSize = ReadGIFByte(stream);
    record_.Left = ReadGIFWord(stream);
    record_.Top = ReadGIFWord(stream);
    record_.Width = ReadGIFWord(stream);
    record_.Height = ReadGIFWord(stream);
    uint8_t cells[4];
    ReadGIFBytes(stream, cells, 4);
    record_.CellWidth = cells[0];
    record_.CellHeight = cells[1];
    record_.TextFGColorIndex = cells[2];
    record_.TextBGColorIndex = cells[3];
    text_ = ReadGIFSubBlocks(stream);
}

// Application extensions

TGIFApplicationRec ApplicationIdentifier(const char* elevenCharacters) {
    TGIFApplicationRec identifier{};
    std::memcpy(identifier.data(), elevenCharacters, identifier.size());
    return identifier;
}

TGIFApplicationExtension::TGIFApplicationExtension(TGIFSubImage* subImage)
    : TGIFExtension(subImage) {}

std::unique_ptr<TGIFExtension> TGIFApplicationExtension::Clone(TGIFSubImage* subImage) const {
    auto copy = std::make_unique<TGIFApplicationExtension>(subImage);
    copy->identifier_ = identifier_;
    return copy;
}

void TGIFApplicationExtension::SaveBody(TStream& stream) {
    stream.WriteByte(static_cast<uint8_t>(identifier_.size()));
    stream.WriteBuffer(identifier_.data(), identifier_.size());
    SaveData(stream);
}

void TGIFApplicationExtension::LoadBody(TStream& stream) {
    const uint8_t blockSize = ReadGIFByte(stream);
    if (blockSize < 10) throw GIFException("Unsupported Application Extension block size");
    ReadGIFBytes(stream, identifier_.data(), identifier_.size());
    if (blockSize == 10) {
        stream.Seek(-1, TSeekOrigin::soCurrent);
    } else {
        uint8_t excess[255];
        ReadGIFBytes(stream, excess, blockSize - identifier_.size());
    }
    LoadData(stream);
}

void TGIFApplicationExtension::SaveData(TStream& stream) { stream.WriteByte(0); }

void TGIFApplicationExtension::LoadData(TStream& stream) { SkipGIFSubBlocks(stream); }

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFSubImage* subImage) : TGIFApplicationExtension(subImage) {
    SetIdentifier(ApplicationIdentifier("NETSCAPE2.0"));
}

std::unique_ptr<TGIFExtension> TGIFAppExtNSLoop::Clone(TGIFSubImage* subImage) const {
    auto copy = std::make_unique<TGIFAppExtNSLoop>(subImage);
    copy->SetIdentifier(Identifier());
    copy->loops_ = loops_;
    copy->bufferSize_ = bufferSize_;
    return copy;
}

void TGIFAppExtNSLoop::SaveData(TStream& stream) {
    const uint8_t loopBlock[4] = {3, 1, static_cast<uint8_t>(loops_ & 0xFF),
                                  static_cast<uint8_t>(loops_ >> 8)};
    stream.WriteBuffer(loopBlock, 4);
    if (bufferSize_ != 0) {
        const uint8_t head[2] = {5, 2};
        stream.WriteBuffer(head, 2);
        WriteLongWord(stream, bufferSize_);
    }
    stream.WriteByte(0);
}

void TGIFAppExtNSLoop::LoadData(TStream& stream) {
    for (const std::string& block : ReadGIFSubBlocks(stream)) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(block.data());
        switch (bytes[0] & 0x07) {
            case 1:
                if (block.size() < 3) throw GIFException("Invalid GIF data");
                loops_ = static_cast<uint16_t>(bytes[1] | (bytes[2] << 8));
                break;
            case 2:
                if (block.size() < 5) throw GIFException("Invalid GIF data");
                bufferSize_ = static_cast<uint32_t>(bytes[1]) |
                              (static_cast<uint32_t>(bytes[2]) << 8) |
                              (static_cast<uint32_t>(bytes[3]) << 16) |
                              (static_cast<uint32_t>(bytes[4]) << 24);
                break;
            default:
                break;
        }
    }
}

// Unknown application extension

void TGIFBlock::SaveToStream(TStream& stream) const {
    stream.WriteByte(static_cast<uint8_t>(data_.size()));
    stream.WriteBuffer(data_.data(), data_.size());
}

void TGIFBlock::LoadFromStream(TStream& stream) {
    data_.resize(ReadGIFByte(stream));
    ReadGIFBytes(stream, data_.data(), data_.size());
}

std::unique_ptr<TGIFExtension> TGIFUnknownAppExtension::Clone(TGIFSubImage* subImage) const {
    auto copy = std::make_unique<TGIFUnknownAppExtension>(subImage);
    copy->SetIdentifier(Identifier());
    copy->blocks_ = blocks_;
    return copy;
}

void TGIFUnknownAppExtension::SaveData(TStream& stream) {
    for (const TGIFBlock& block : blocks_) block.SaveToStream(stream);
    stream.WriteByte(0);
}

void TGIFUnknownAppExtension::LoadData(TStream& stream) {
    blocks_.clear();
    for (std::string& data : ReadGIFSubBlocks(stream))
        blocks_.emplace_back(std::vector<uint8_t>(data.begin(), data.end()));
}
