#include "gif/optimise/LonePixels.h"

void TLonePixels::FlagRow(const uint8_t* row, int width, uint8_t transparent, uint8_t* flags) {
    for (int x = 0; x < width; ++x) flags[x + 1] = row[x] != transparent ? 1 : 0;
}
