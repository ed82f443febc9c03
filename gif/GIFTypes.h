#pragma once
// Enumerations shared across the GIF library.
#include <cstdint>

// Palette used when a true-colour frame is added to a document.
enum TPaletteReduction : uint8_t {
    prNone = 0,
    prSystem20 = 1,
    prHalftone256 = 2,
    prGray4 = 3,
    prBlackWhite = 4,
    prGray256 = 5,
    prWebCube216 = 6,
    prOctree = 7,
    prOctreePlusSystem = 8,
    prCallerPalette = 9,
};

// Dithering engine used while reducing colours.
enum TErrorDiffusion : uint8_t {
    edNearest = 0,
    edFloydSteinberg = 1,
    edStucki = 2,
    edSierra = 3,
    edJaJuNi = 4,
    edSteveArche = 5,
    edBurkes = 6,
};

// Coder of a frame's image data.
enum TGIFEncoding : uint8_t { geLZW = 0, geRLE = 1 };

// Stage of a long operation reported through OnProgress.
enum TProgressStage { psStarting, psRunning, psEnding };
