#include "gif/format/Interlace.h"

bool NextInterlacedRow(int height, int& pass, int& row) {
    row += kInterlacePasses[pass].step;
    while (row >= height) {
        if (++pass >= kInterlacePassCount) return false;
        row = kInterlacePasses[pass].firstRow;
    }
    return true;
}
