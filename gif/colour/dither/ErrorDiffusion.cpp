#include "gif/colour/dither/ErrorDiffusion.h"

#include <algorithm>

namespace {

constexpr int kChannels = 3;
constexpr int kMaxKernelRows = 4;

// The channel value corrected by its accumulated error, rounded and clamped to 0..255.
int Adjust(int channel, int32_t accumulated, int divisor) {
    return std::clamp(channel + (accumulated + divisor / 2) / divisor, 0, 255);
}

}  // namespace

TErrorRows::TErrorRows(int width, int rowCount, int margin)
    : margin_(margin),
      rowEntries_(static_cast<size_t>(width + 2 * margin) * kChannels),
      storage_(rowEntries_ * rowCount, 0),
      rows_(rowCount) {
    for (int k = 0; k < rowCount; ++k) rows_[k] = storage_.data() + k * rowEntries_;
}

void TErrorRows::Rotate() {
    std::fill(rows_.front(), rows_.front() + rowEntries_, 0);
    std::rotate(rows_.begin(), rows_.begin() + 1, rows_.end());
}

// --- Floyd-Steinberg -------------------------------------------------------------------

TFloydSteinbergDitherer::TFloydSteinbergDitherer(int width, TColorLookup& lookup)
    : TDitherEngine(width, lookup), nextRow_(static_cast<size_t>(width + 2) * kChannels, 0) {}

// The array entry of a column holds, while the row runs, first the error this row received
// from the row before, then (once the pixel after it is done) the sum for the next row.
TColorMatch TFloydSteinbergDitherer::MapPixel(uint8_t red, uint8_t green, uint8_t blue) {
    int32_t* here = Entry(column_);
    int32_t* behind = Entry(column_ - direction_);
    const int adjusted[kChannels] = {Adjust(red, here[0] + ahead_[0], 16),
                                     Adjust(green, here[1] + ahead_[1], 16),
                                     Adjust(blue, here[2] + ahead_[2], 16)};
    const TColorMatch match =
        lookup_.FindIndex(static_cast<uint8_t>(adjusted[0]), static_cast<uint8_t>(adjusted[1]),
                          static_cast<uint8_t>(adjusted[2]));
    const int chosen[kChannels] = {match.red, match.green, match.blue};
    for (int ch = 0; ch < kChannels; ++ch) {
        const int32_t error = adjusted[ch] - chosen[ch];
        behind[ch] = behind_[ch] + 3 * error;
        behind_[ch] = below_[ch] + 5 * error;
        below_[ch] = error;
        ahead_[ch] = 7 * error;
    }
    column_ += direction_;
    return match;
}

void TFloydSteinbergDitherer::NextLine() {
    const int last = column_ - direction_;
    if (last >= 0 && last < width_) std::copy(behind_, behind_ + kChannels, Entry(last));
    std::fill(std::begin(ahead_), std::end(ahead_), 0);
    std::fill(std::begin(behind_), std::end(behind_), 0);
    std::fill(std::begin(below_), std::end(below_), 0);
    TDitherEngine::NextLine();
}

// --- Whole-row kernels -----------------------------------------------------------------

TKernelDitherer::TKernelDitherer(int width, TColorLookup& lookup, int divisor, int rowCount,
                                 int margin)
    : TDitherEngine(width, lookup), divisor_(divisor), rows_(width, rowCount, margin) {}

TColorMatch TKernelDitherer::MapPixel(uint8_t red, uint8_t green, uint8_t blue) {
    const int rowCount = rows_.RowCount();
    int32_t* at[kMaxKernelRows];
    for (int k = 0; k < rowCount; ++k) at[k] = rows_.At(k, column_);
    const int adjusted[kChannels] = {Adjust(red, at[0][0], divisor_),
                                     Adjust(green, at[0][1], divisor_),
                                     Adjust(blue, at[0][2], divisor_)};
    const TColorMatch match =
        lookup_.FindIndex(static_cast<uint8_t>(adjusted[0]), static_cast<uint8_t>(adjusted[1]),
                          static_cast<uint8_t>(adjusted[2]));
    const int chosen[kChannels] = {match.red, match.green, match.blue};
    const int ahead = kChannels * direction_;
    for (int ch = 0; ch < kChannels; ++ch) {
        const int32_t error = adjusted[ch] - chosen[ch];
        if (error == 0) continue;
        int32_t* row[kMaxKernelRows];
        for (int k = 0; k < rowCount; ++k) row[k] = at[k] + ch;
        Share(error, row, ahead);
    }
    column_ += direction_;
    return match;
}

void TKernelDitherer::NextLine() {
    rows_.Rotate();
    TDitherEngine::NextLine();
}

T5by3Ditherer::T5by3Ditherer(int width, TColorLookup& lookup, int divisor)
    : TKernelDitherer(width, lookup, divisor, 3, 2) {}

namespace {

// Adds error x weights to the five columns behind 2, behind 1, below, ahead 1, ahead 2.
void ShareFive(int32_t* p, int ahead, int32_t error, int w2b, int w1b, int w0, int w1a, int w2a) {
    p[-2 * ahead] += w2b * error;
    p[-ahead] += w1b * error;
    p[0] += w0 * error;
    p[ahead] += w1a * error;
    p[2 * ahead] += w2a * error;
}

}  // namespace

void TStuckiDitherer::Share(int32_t error, int32_t* const* row, int ahead) {
    row[0][ahead] += 8 * error;
    row[0][2 * ahead] += 4 * error;
    ShareFive(row[1], ahead, error, 2, 4, 8, 4, 2);
    ShareFive(row[2], ahead, error, 1, 2, 4, 2, 1);
}

void TSierraDitherer::Share(int32_t error, int32_t* const* row, int ahead) {
    row[0][ahead] += 5 * error;
    row[0][2 * ahead] += 3 * error;
    ShareFive(row[1], ahead, error, 2, 4, 5, 4, 2);
    ShareFive(row[2], ahead, error, 0, 2, 3, 2, 0);
}

void TJaJuNiDitherer::Share(int32_t error, int32_t* const* row, int ahead) {
    row[0][ahead] += 7 * error;
    row[0][2 * ahead] += 5 * error;
    ShareFive(row[1], ahead, error, 3, 5, 7, 5, 3);
    ShareFive(row[2], ahead, error, 1, 3, 5, 3, 1);
}

void TBurkesDitherer::Share(int32_t error, int32_t* const* row, int ahead) {
    row[0][ahead] += 8 * error;
    row[0][2 * ahead] += 4 * error;
    ShareFive(row[1], ahead, error, 2, 4, 8, 4, 2);
}

void TSteveArcheDitherer::Share(int32_t error, int32_t* const* row, int ahead) {
    row[0][2 * ahead] += 32 * error;
    row[1][-3 * ahead] += 12 * error;
    row[1][-ahead] += 26 * error;
    row[1][ahead] += 30 * error;
    row[1][3 * ahead] += 16 * error;
    row[2][-2 * ahead] += 12 * error;
    row[2][0] += 26 * error;
    row[2][2 * ahead] += 12 * error;
    row[3][-3 * ahead] += 5 * error;
    row[3][-ahead] += 12 * error;
    row[3][ahead] += 12 * error;
    row[3][3 * ahead] += 5 * error;
}

std::unique_ptr<TDitherEngine> CreateDitherEngine(TErrorDiffusion mode, int width,
                                                  TColorLookup& lookup) {
    switch (mode) {
        case edNearest:
            return std::make_unique<TDitherEngine>(width, lookup);
        case edFloydSteinberg:
            return std::make_unique<TFloydSteinbergDitherer>(width, lookup);
        case edStucki:
            return std::make_unique<TStuckiDitherer>(width, lookup);
        case edSierra:
            return std::make_unique<TSierraDitherer>(width, lookup);
        case edJaJuNi:
            return std::make_unique<TJaJuNiDitherer>(width, lookup);
        case edSteveArche:
            return std::make_unique<TSteveArcheDitherer>(width, lookup);
        case edBurkes:
            return std::make_unique<TBurkesDitherer>(width, lookup);
    }
    return nullptr;
}
