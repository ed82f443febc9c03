#pragma once
// The plain dithering engine: maps each pixel to the lookup's entry for its own colour.
//
// Every engine walks the picture serpentine: the first row left to right from column 0, each
// following row in the other direction, starting at the other end. The caller maps the pixel
// at Column() and stops when the column leaves 0..width-1, then calls NextLine().
#include <cstdint>

#include "gif/colour/ColorLookup.h"
#include "gif/core/GIFTypes.h"

class TDitherEngine {
public:
    TDitherEngine(int width, TColorLookup& lookup) : lookup_(lookup), width_(width) {}
    virtual ~TDitherEngine() = default;
    TDitherEngine(const TDitherEngine&) = delete;
    TDitherEngine& operator=(const TDitherEngine&) = delete;

    // Maps the pixel at the current column and advances the column by the direction.
    virtual TColorMatch MapPixel(uint8_t red, uint8_t green, uint8_t blue);
    // Reverses the direction and moves the column to the start of the next row.
    virtual void NextLine();

    int Column() const { return column_; }
    int Direction() const { return direction_; }
    int Width() const { return width_; }

protected:
    TColorLookup& lookup_;
    int width_;
    int direction_ = 1;
    int column_ = 0;
};
