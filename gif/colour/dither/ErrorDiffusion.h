#pragma once
// Error-diffusion engines: each pixel's colour is corrected by shares of the quantisation
// errors of the pixels done before it, so that areas average to their true colour.
//
// Per channel, the share a pixel receives is accumulated as error x weight and divided by the
// kernel's divisor (rounded, truncating toward zero) only when it is read; the corrected value
// is clamped to 0..255. Rows of accumulated errors are wider than the picture by a margin on
// each side, where shares falling outside the picture are lost.
#include <cstdint>
#include <memory>
#include <vector>

#include "gif/colour/dither/DitherEngine.h"
#include "gif/core/GIFTypes.h"

// Accumulated errors of the rows an engine reaches (row 0 the current one), three channels
// (red, green, blue) per column.
class TErrorRows {
public:
    TErrorRows(int width, int rowCount, int margin);

    // Red entry of `column` in row `row`; green and blue follow it.
    int32_t* At(int row, int column) { return rows_[row] + (column + margin_) * 3; }
    int RowCount() const { return static_cast<int>(rows_.size()); }
    // Clears the current row and moves it to the end; every other row moves up one.
    void Rotate();

private:
    int margin_;
    size_t rowEntries_;
    std::vector<int32_t> storage_;
    std::vector<int32_t*> rows_;
};

// Floyd-Steinberg (divisor 16): one row of next-row sums plus running values per channel.
class TFloydSteinbergDitherer : public TDitherEngine {
public:
    TFloydSteinbergDitherer(int width, TColorLookup& lookup);
    TColorMatch MapPixel(uint8_t red, uint8_t green, uint8_t blue) override;
    void NextLine() override;

private:
    int32_t* Entry(int column) { return nextRow_.data() + (column + 1) * 3; }

    std::vector<int32_t> nextRow_;   // width + 2 columns, margin 1
    int32_t ahead_[3] = {0, 0, 0};   // share for the next pixel of the row
    int32_t behind_[3] = {0, 0, 0};  // pending next-row sum of the column behind the pixel
    int32_t below_[3] = {0, 0, 0};   // pending next-row sum of the column below the pixel
};

// Engines whose kernel spreads over whole rows of accumulated errors.
class TKernelDitherer : public TDitherEngine {
public:
    TColorMatch MapPixel(uint8_t red, uint8_t green, uint8_t blue) override;
    void NextLine() override;

protected:
    TKernelDitherer(int width, TColorLookup& lookup, int divisor, int rowCount, int margin);

    // Adds error x weight at every kernel position. `row[k]` is one channel's entry of the
    // current column in row k (0 = current row); `ahead` is the distance to the next column
    // in scan direction.
    virtual void Share(int32_t error, int32_t* const* row, int ahead) = 0;

private:
    int divisor_;
    TErrorRows rows_;
};

// Kernels of five columns over three rows (the current one and two below), margin 2.
class T5by3Ditherer : public TKernelDitherer {
protected:
    T5by3Ditherer(int width, TColorLookup& lookup, int divisor);
};

class TStuckiDitherer : public T5by3Ditherer {
public:
    TStuckiDitherer(int width, TColorLookup& lookup) : T5by3Ditherer(width, lookup, 42) {}

protected:
    void Share(int32_t error, int32_t* const* row, int ahead) override;
};

class TSierraDitherer : public T5by3Ditherer {
public:
    TSierraDitherer(int width, TColorLookup& lookup) : T5by3Ditherer(width, lookup, 32) {}

protected:
    void Share(int32_t error, int32_t* const* row, int ahead) override;
};

// Jarvis, Judice and Ninke.
class TJaJuNiDitherer : public T5by3Ditherer {
public:
    TJaJuNiDitherer(int width, TColorLookup& lookup) : T5by3Ditherer(width, lookup, 48) {}

protected:
    void Share(int32_t error, int32_t* const* row, int ahead) override;
};

// Stevenson and Arce (divisor 200): seven columns over four rows, margin 3.
class TSteveArcheDitherer : public TKernelDitherer {
public:
    TSteveArcheDitherer(int width, TColorLookup& lookup)
        : TKernelDitherer(width, lookup, 200, 4, 3) {}

protected:
    void Share(int32_t error, int32_t* const* row, int ahead) override;
};

// Burkes (divisor 32): five columns over two rows, margin 2.
class TBurkesDitherer : public TKernelDitherer {
public:
    TBurkesDitherer(int width, TColorLookup& lookup) : TKernelDitherer(width, lookup, 32, 2, 2) {}

protected:
    void Share(int32_t error, int32_t* const* row, int ahead) override;
};

// The engine of a diffusion mode over `lookup`; null for a mode above edBurkes.
std::unique_ptr<TDitherEngine> CreateDitherEngine(TErrorDiffusion mode, int width,
                                                  TColorLookup& lookup);
