#pragma once
// Row order of interlaced GIF frames: four passes over the rows, each with its own first row and
// step.

struct TInterlacePass {
    int firstRow;
    int step;
};

inline constexpr int kInterlacePassCount = 4;
inline constexpr TInterlacePass kInterlacePasses[kInterlacePassCount] = {
    {0, 8}, {4, 8}, {2, 4}, {1, 2}};

// Advances (pass, row) to the next row of the interlaced order of a frame `height` rows high.
// Passes whose first row lies outside the frame are skipped. Returns false after the last row.
bool NextInterlacedRow(int height, int& pass, int& row);
