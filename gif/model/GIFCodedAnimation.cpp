#include "gif/model/GIFCodedAnimation.h"

#include <algorithm>
#include <cstring>

#include "gif/codec/GIFDecoder.h"
#include "gif/core/GIFException.h"
#include "gif/format/GIFStreamIO.h"
#include "gif/model/GIFSubImage.h"
#include "platform/Stream.h"

namespace {

constexpr uint8_t kGraphicControlLabel = 0xF9;
constexpr uint8_t kApplicationLabel = 0xFF;
constexpr uint8_t kTablePresent = 0x80;
constexpr uint8_t kInterlaced = 0x40;
// What a frame's record is counted at against the reading budget.
constexpr uint64_t kFrameRecordBytes = sizeof(TGIFCodedFrame);

int TableCount(uint8_t packed) { return 1 << ((packed & 0x07) + 1); }

// Steps over a colour table of `count` entries, which has to lie inside the stream; its offset.
int64_t SkipColorTable(TStream& stream, int count) {
    const int64_t table = stream.Position();
    if (stream.Size() - table < int64_t{3} * count) throw GIFException("Premature end of data");
    stream.Seek(table + int64_t{3} * count, TSeekOrigin::soBeginning);
    return table;
}

// Reads one data sub-block into `block` (its length first); the length, 0 for the terminator.
size_t ReadSubBlock(TStream& stream, uint8_t (&block)[255]) {
    const uint8_t length = ReadGIFByte(stream);
    ReadGIFBytes(stream, block, length);
    return length;
}

void SkipZeroBytes(TStream& stream) {
    while (PeekGIFByte(stream) == 0) ReadGIFByte(stream);
}

}  // namespace

TGIFCodedAnimation::TGIFCodedAnimation(std::vector<uint8_t> bytes, const TGIFReadLimits& limits)
    : bytes_(std::move(bytes)) {
    TReadOnlyMemoryStream stream(bytes_.data(), bytes_.size());
    TGIFReadBudget budget(limits);
    ReadHeader(stream, budget);
    ReadFrames(stream, budget);
    if (frames_.empty()) throw GIFException("No frames in the GIF");
    budget.CheckScreenSize(width_, height_);
}

std::unique_ptr<TGIFCodedAnimation> TGIFCodedAnimation::FromFile(const std::string& fileName,
                                                                 const TGIFReadLimits& limits) {
    TMemoryStream file;
    file.LoadFromFile(fileName);
    return std::make_unique<TGIFCodedAnimation>(std::move(file.Data()), limits);
}

void TGIFCodedAnimation::ReadHeader(TStream& stream, TGIFReadBudget& budget) {
    char signature[6];
    ReadGIFBytes(stream, signature, sizeof signature);
    if (std::memcmp(signature, "GIF", 3) != 0) throw GIFException("Invalid GIF signature");
    width_ = ReadGIFWord(stream);
    height_ = ReadGIFWord(stream);
    uint8_t rest[3];
    ReadGIFBytes(stream, rest, sizeof rest);
    budget.CheckScreenSize(width_, height_);
    if (!(rest[0] & kTablePresent)) return;
    globalColorCount_ = TableCount(rest[0]);
    globalColors_ = SkipColorTable(stream, globalColorCount_);
}

void TGIFCodedAnimation::ReadFrames(TStream& stream, TGIFReadBudget& budget) {
    TGIFCodedFrame pending;
    try {
        for (SkipZeroBytes(stream);; SkipZeroBytes(stream)) {
            const int next = PeekGIFByte(stream);
            if (next == bsExtensionIntroducer)
                ReadExtension(stream, pending);
            else if (next == bsImageDescriptor)
                ReadFrame(stream, pending, budget);
            else
                return;  // the trailer, the end, or something this reader does not know
        }
    } catch (const GIFException&) {
        // A damaged block after the first frame ends the animation; before it the file is
        // no GIF to play.
        if (frames_.empty()) throw;
    }
}

// Graphic control extensions set the next frame's timing and transparency; a looping
// extension the animation's loop count; the rest is stepped over.
void TGIFCodedAnimation::ReadExtension(TStream& stream, TGIFCodedFrame& pending) {
    ReadGIFByte(stream);
    const uint8_t label = ReadGIFByte(stream);
    uint8_t block[255];
    size_t length = ReadSubBlock(stream, block);
    if (label == kGraphicControlLabel && length >= 4) {
        pending.Disposal = static_cast<TDisposalMethod>((block[0] >> 2) & 0x07);
        pending.Delay = static_cast<uint16_t>(block[1] | (block[2] << 8));
        pending.TransparentIndex = (block[0] & 0x01) ? block[3] : -1;
    } else if (label == kApplicationLabel && length == 11 &&
               (std::memcmp(block, "NETSCAPE2.0", 11) == 0 ||
                std::memcmp(block, "ANIMEXTS1.0", 11) == 0)) {
        length = ReadSubBlock(stream, block);
        if (length >= 3 && block[0] == 1) loopCount_ = block[1] | (block[2] << 8);
    }
    while (length > 0) length = ReadSubBlock(stream, block);
}

void TGIFCodedAnimation::ReadFrame(TStream& stream, TGIFCodedFrame& pending,
                                   TGIFReadBudget& budget) {
    uint8_t descriptor[10];
    ReadGIFBytes(stream, descriptor, sizeof descriptor);
    const int left = descriptor[1] | (descriptor[2] << 8);
    const int top = descriptor[3] | (descriptor[4] << 8);
    int width = descriptor[5] | (descriptor[6] << 8);
    int height = descriptor[7] | (descriptor[8] << 8);
    // A frame declared without a size covers the logical screen.
    if (width == 0 || height == 0) {
        width = width_;
        height = height_;
    }
    budget.CheckFrameSize(width, height);
    TGIFCodedFrame frame = pending;
    pending = TGIFCodedFrame();
    frame.Bounds = {left, top, left + width, top + height};
    frame.Interlaced = descriptor[9] & kInterlaced;
    if (descriptor[9] & kTablePresent) {
        frame.LocalColorCount = static_cast<uint16_t>(TableCount(descriptor[9]));
        frame.LocalColors = SkipColorTable(stream, frame.LocalColorCount);
    }
    frame.DataOffset = static_cast<uint64_t>(stream.Position());
    ReadGIFByte(stream);
    SkipGIFSubBlocks(stream);
    budget.Charge(kFrameRecordBytes);
    frames_.push_back(frame);
    width_ = std::max(width_, frame.Bounds.Right);
    height_ = std::max(height_, frame.Bounds.Bottom);
}

std::array<uint32_t, 256> TGIFCodedAnimation::FrameColors(int index) const {
    const TGIFCodedFrame& frame = Frame(index);
    const bool local = frame.LocalColors >= 0;
    const int64_t table = local ? frame.LocalColors : globalColors_;
    const int count = local ? frame.LocalColorCount : globalColorCount_;
    std::array<uint32_t, 256> colors{};
    if (table < 0 || count == 0) return colors;
    const uint8_t* rgb = bytes_.data() + table;
    for (int i = 0; i < 256; ++i) {
        const uint8_t* entry = rgb + 3 * (i < count ? i : 0);
        colors[static_cast<size_t>(i)] = (static_cast<uint32_t>(entry[0]) << 16) |
                                         (static_cast<uint32_t>(entry[1]) << 8) | entry[2];
    }
    return colors;
}

void TGIFCodedAnimation::DecodeFrame(int index, std::vector<uint8_t>& pixels) const {
    const TGIFCodedFrame& frame = Frame(index);
    const int width = frame.Bounds.Width();
    const int height = frame.Bounds.Height();
    const uint8_t fill = static_cast<uint8_t>(std::max<int>(frame.TransparentIndex, 0));
    pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), fill);
    if (pixels.empty()) return;
    TReadOnlyMemoryStream data(bytes_.data() + frame.DataOffset, bytes_.size() - frame.DataOffset);
    try {
        DecodeGIFImageData(data, pixels.data(), width, height, frame.Interlaced,
                           [](const std::string&) {});
    } catch (const GIFException&) {
        // Data that leads the decoder astray leaves the pixels it did not reach as they were.
    }
}

size_t TGIFCodedAnimation::HeldBytes() const {
    return bytes_.capacity() + frames_.capacity() * sizeof(TGIFCodedFrame);
}
