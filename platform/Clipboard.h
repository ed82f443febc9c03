#pragma once
// The clipboard as the picture code uses it: one bitmap and blocks of bytes under registered
// format names. The desktop program maps it onto the system clipboard; tests and tools use the
// in-memory one.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/Bitmap.h"

class TClipboard {
public:
    virtual ~TClipboard() = default;

    // Replaces the whole content by a bitmap and data blocks (format name to bytes). Returns
    // false when the clipboard refused it.
    virtual bool SetContent(const TBitmap& bitmap,
                            const std::map<std::string, std::vector<uint8_t>>& data) = 0;
    virtual bool HasFormat(const std::string& format) const = 0;
    // The bytes stored under `format`; empty when there are none.
    virtual std::vector<uint8_t> Data(const std::string& format) const = 0;
    virtual bool HasBitmap() const = 0;
    // The bitmap on the clipboard; an empty one when there is none.
    virtual TBitmap Bitmap() const = 0;
};

class TMemoryClipboard : public TClipboard {
public:
    bool SetContent(const TBitmap& bitmap,
                    const std::map<std::string, std::vector<uint8_t>>& data) override;
    bool HasFormat(const std::string& format) const override;
    std::vector<uint8_t> Data(const std::string& format) const override;
    bool HasBitmap() const override { return bitmap_.has_value(); }
    TBitmap Bitmap() const override { return bitmap_ ? *bitmap_ : TBitmap(); }

    // Content put there by another program: only a bitmap, or only one data block.
    void SetBitmap(const TBitmap& bitmap);
    void SetData(const std::string& format, std::vector<uint8_t> bytes);
    void Empty();
    // While set, SetContent refuses (a clipboard another program holds open).
    void SetLocked(bool locked) { locked_ = locked; }

private:
    std::optional<TBitmap> bitmap_;
    std::map<std::string, std::vector<uint8_t>> data_;
    bool locked_ = false;
};
