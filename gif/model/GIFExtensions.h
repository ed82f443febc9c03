#pragma once
// Extension blocks that stand in front of a frame: graphic control, comment, plain text and
// application extensions (the looping extension and a keeper for unknown ones).
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gif/model/GIFItem.h"

class TGIFSubImage;

constexpr uint8_t bsExtensionIntroducer = 0x21;
constexpr uint8_t bsPlainTextExtension = 0x01;
constexpr uint8_t bsGraphicControlExtension = 0xF9;
constexpr uint8_t bsCommentExtension = 0xFE;
constexpr uint8_t bsApplicationExtension = 0xFF;

// Base of every extension block: 0x21, the label, the block's own bytes.
class TGIFExtension : public TGIFItem {
public:
    explicit TGIFExtension(TGIFSubImage* subImage);

    TGIFSubImage* SubImage() const { return subImage_; }
    void SetSubImage(TGIFSubImage* subImage) { subImage_ = subImage; }
    virtual uint8_t Label() const = 0;
    // Every extension needs "89a".
    int Version() const override { return 2; }
    // A copy owned by `subImage`.
    virtual std::unique_ptr<TGIFExtension> Clone(TGIFSubImage* subImage) const = 0;

    void SaveToStream(TStream& stream) override;
    // Checks the introducer ("Invalid extension introducer") and the label ("Internal error:
    // Extension Instance does not match Extension Label"), then reads the block.
    void LoadFromStream(TStream& stream) override;

protected:
    virtual void SaveBody(TStream& stream) = 0;
    virtual void LoadBody(TStream& stream) = 0;

private:
    TGIFSubImage* subImage_;
};

enum TDisposalMethod : uint8_t { dmNone = 0, dmNoDisposal = 1, dmBackground = 2, dmPrevious = 3 };

// The 6 bytes of a graphic control extension after its label, in file layout.
struct TGraphicControlRecord {
    uint8_t BlockSize = 4;
    uint8_t PackedFields = 0;
    uint16_t DelayTime = 0;
    uint8_t TransparentColorIndex = 0;
    uint8_t Terminator = 0;
};

class TGIFGraphicControlExtension : public TGIFExtension {
public:
    using TGIFExtension::TGIFExtension;
    uint8_t Label() const override { return bsGraphicControlExtension; }
    std::unique_ptr<TGIFExtension> Clone(TGIFSubImage* subImage) const override;

    const TGraphicControlRecord& Record() const { return record_; }
    bool Transparent() const { return record_.PackedFields & 0x01; }
    void SetTransparent(bool on) { SetFlag(0x01, on); }
    bool UserInput() const { return record_.PackedFields & 0x02; }
    void SetUserInput(bool on) { SetFlag(0x02, on); }
    TDisposalMethod Disposal() const {
        return static_cast<TDisposalMethod>((record_.PackedFields >> 2) & 0x07);
    }
    void SetDisposal(TDisposalMethod method);
    // In hundredths of a second.
    int Delay() const { return record_.DelayTime; }
    void SetDelay(int delay) { record_.DelayTime = static_cast<uint16_t>(delay); }
    int TransparentColorIndex() const { return record_.TransparentColorIndex; }
    void SetTransparentColorIndex(int index);

protected:
    void SaveBody(TStream& stream) override;
    // Fewer than 6 bytes warn "Premature end of data" and keep what was read.
    void LoadBody(TStream& stream) override;

private:
    void SetFlag(uint8_t flag, bool on);
    // Tells the frame that its transparency may have changed.
    void TransparencyChanged() const;
    TGraphicControlRecord record_;
};

// A comment: its lines, one data sub-block (or several for long lines) each.
class TGIFCommentExtension : public TGIFExtension {
public:
    using TGIFExtension::TGIFExtension;
    uint8_t Label() const override { return bsCommentExtension; }
    std::unique_ptr<TGIFExtension> Clone(TGIFSubImage* subImage) const override;
    std::vector<std::string>& Text() { return text_; }
    const std::vector<std::string>& Text() const { return text_; }

protected:
    void SaveBody(TStream& stream) override;
    void LoadBody(TStream& stream) override;

private:
    std::vector<std::string> text_;
};

// The 13 bytes of a plain text extension after its label, in file layout.
struct TPlainTextRecord {
    uint8_t BlockSize = 12;
    uint16_t Left = 0;
    uint16_t Top = 0;
    uint16_t Width = 0;
    uint16_t Height = 0;
    uint8_t CellWidth = 0;
    uint8_t CellHeight = 0;
    uint8_t TextFGColorIndex = 0;
    uint8_t TextBGColorIndex = 0;
};

class TGIFTextExtension : public TGIFExtension {
public:
    using TGIFExtension::TGIFExtension;
    uint8_t Label() const override { return bsPlainTextExtension; }
    std::unique_ptr<TGIFExtension> Clone(TGIFSubImage* subImage) const override;
    TPlainTextRecord& Record() { return record_; }
    const TPlainTextRecord& Record() const { return record_; }
    std::vector<std::string>& Text() { return text_; }
    const std::vector<std::string>& Text() const { return text_; }

protected:
    void SaveBody(TStream& stream) override;
    void LoadBody(TStream& stream) override;

private:
    TPlainTextRecord record_;
    std::vector<std::string> text_;
};

using TGIFApplicationRec = std::array<uint8_t, 11>;
// An identifier of 8 characters and an authentication code of 3 ("NETSCAPE2.0").
TGIFApplicationRec ApplicationIdentifier(const char* elevenCharacters);

// An application extension: block size 11, the identifier, the application's data sub-blocks.
class TGIFApplicationExtension : public TGIFExtension {
public:
    explicit TGIFApplicationExtension(TGIFSubImage* subImage);
    uint8_t Label() const override { return bsApplicationExtension; }
    std::unique_ptr<TGIFExtension> Clone(TGIFSubImage* subImage) const override;
    const TGIFApplicationRec& Identifier() const { return identifier_; }
    void SetIdentifier(const TGIFApplicationRec& identifier) { identifier_ = identifier; }

protected:
    void SaveBody(TStream& stream) override;
    // The block size byte: 10 reads a short identifier, below 10 fails with "Unsupported
    // Application Extension block size", more than 11 skips the excess. Then LoadData.
    void LoadBody(TStream& stream) override;
    // The data sub-blocks and the terminator; the base has no data of its own.
    virtual void SaveData(TStream& stream);
    virtual void LoadData(TStream& stream);

private:
    TGIFApplicationRec identifier_{};
};

// The looping extension ("NETSCAPE2.0", also read as "ANIMEXTS1.0").
class TGIFAppExtNSLoop : public TGIFApplicationExtension {
public:
    explicit TGIFAppExtNSLoop(TGIFSubImage* subImage);
    std::unique_ptr<TGIFExtension> Clone(TGIFSubImage* subImage) const override;
    int Loops() const { return loops_; }
    void SetLoops(int loops) { loops_ = static_cast<uint16_t>(loops); }
    uint32_t BufferSize() const { return bufferSize_; }
    void SetBufferSize(uint32_t size) { bufferSize_ = size; }

protected:
    void SaveData(TStream& stream) override;
    // Sub-block 1 carries the loop count, sub-block 2 the buffer size ("Invalid GIF data" when
    // too short); others are skipped.
    void LoadData(TStream& stream) override;

private:
    uint16_t loops_ = 0;
    uint32_t bufferSize_ = 0;
};

// One data sub-block: 1 to 255 bytes.
class TGIFBlock {
public:
    TGIFBlock() = default;
    explicit TGIFBlock(std::vector<uint8_t> data) : data_(std::move(data)) {}
    int Size() const { return static_cast<int>(data_.size()); }
    const std::vector<uint8_t>& Data() const { return data_; }
    void SaveToStream(TStream& stream) const;
    // Reads the length byte and the data.
    void LoadFromStream(TStream& stream);

private:
    std::vector<uint8_t> data_;
};

// An application extension nobody registered: its data sub-blocks are kept and written back.
class TGIFUnknownAppExtension : public TGIFApplicationExtension {
public:
    using TGIFApplicationExtension::TGIFApplicationExtension;
    std::unique_ptr<TGIFExtension> Clone(TGIFSubImage* subImage) const override;
    const std::vector<TGIFBlock>& Blocks() const { return blocks_; }
    std::vector<TGIFBlock>& Blocks() { return blocks_; }

protected:
    void SaveData(TStream& stream) override;
    void LoadData(TStream& stream) override;

private:
    std::vector<TGIFBlock> blocks_;
};
