#pragma once
// Colour lookups: map a colour to a palette index and that entry's colour.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/SystemPalette.h"

// A palette index and the colour of that entry.
struct TColorMatch {
    int index;
    uint8_t red;
    uint8_t green;
    uint8_t blue;
};

class TColorLookup {
public:
    explicit TColorLookup(int colors) : colors_(colors) {}
    virtual ~TColorLookup() = default;
    TColorLookup(const TColorLookup&) = delete;
    TColorLookup& operator=(const TColorLookup&) = delete;

    virtual TColorMatch FindIndex(uint8_t red, uint8_t green, uint8_t blue) = 0;

    // Number of colours the lookup can return; 0 means it cannot be used.
    int Colors() const { return colors_; }

protected:
    int colors_;
};

// Approximate lookup through an inverse table of 32 x 32 x 32 cells. A cell answers for all
// colours sharing it with the entry found for the first of them (least sum of absolute
// channel differences).
class TFastColorLookup : public TColorLookup {
public:
    explicit TFastColorLookup(const TPalette& palette);
    TColorMatch FindIndex(uint8_t red, uint8_t green, uint8_t blue) override;

private:
    static int Cell(uint8_t red, uint8_t green, uint8_t blue) {
        return (red >> 3) | ((green >> 3) << 5) | ((blue >> 3) << 10);
    }
    int NearestEntry(uint8_t red, uint8_t green, uint8_t blue) const;

    TPalette entries_;
    std::vector<int16_t> inverse_;
};

// Exact lookup: the entry at the least squared distance, the lowest index on a tie.
class TSlowColorLookup : public TColorLookup {
public:
    explicit TSlowColorLookup(const TPalette& palette);
    TColorMatch FindIndex(uint8_t red, uint8_t green, uint8_t blue) override;
    // FindIndex for a row of blue-green-red pixels, the indices stored as bytes.
    void FindRow(const uint8_t* bgr, int width, uint8_t* indices) {
        nearest_.FindRow(bgr, width, indices);
    }

private:
    TPalette entries_;
    TNearestColorIndex nearest_;
};

// The 216-colour web cube, levels of 51.
class TNetscapeColorLookup : public TColorLookup {
public:
    TNetscapeColorLookup() : TColorLookup(216) {}
    TColorMatch FindIndex(uint8_t red, uint8_t green, uint8_t blue) override;
};

// 256 greys by luminance.
class TGrayScaleLookup : public TColorLookup {
public:
    TGrayScaleLookup() : TColorLookup(256) {}
    TColorMatch FindIndex(uint8_t red, uint8_t green, uint8_t blue) override;
};

// Black (index 0) or white (index 1) by luminance.
class TMonochromeLookup : public TColorLookup {
public:
    TMonochromeLookup() : TColorLookup(2) {}
    TColorMatch FindIndex(uint8_t red, uint8_t green, uint8_t blue) override;
};
