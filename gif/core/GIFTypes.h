#pragma once
// Enumerations and the colour entry shared across the GIF library.
#include <cstdint>

// One colour table entry as stored in a GIF file.
struct TGIFColor {
    uint8_t Red = 0;
    uint8_t Green = 0;
    uint8_t Blue = 0;
    bool operator==(const TGIFColor& other) const = default;
};

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

// What OptimizeFrames does; the bits combine.
enum TGIFOptimizeOption : uint8_t {
    // Transparent frames shrink to the pixels they show; frames that show nothing go, their
    // delay added to the frame before.
    ooCrop = 0x01,
    // Pixels that repeat what the screen already shows become transparent.
    ooMerge = 0x02,
    // Unused transparency and needless disposal go; so do comments, plain text, unknown
    // application blocks, surplus looping and empty graphic control extensions, and frames
    // left with nothing.
    ooCleanup = 0x04,
    // Colour tables sorted by use, unused entries dropped.
    ooColorMap = 0x08,
    // One palette for all frames, made by the reduction mode, as the global colour table.
    ooReduceColors = 0x10,
};
using TGIFOptimizeOptions = uint8_t;

// The bits of a document's PaintOptions.
enum TGIFPaintOption : uint16_t {
    // The painter runs on a thread of its own and hands its painting to the main thread;
    // otherwise it runs in the caller's thread, processing messages while it waits.
    poThreaded = 0x0001,
    // What the target showed before painting stays visible behind transparent pixels.
    poTransparent = 0x0002,
    // Frame after frame; otherwise only the first frame (or the forced one) is drawn.
    poAnimate = 0x0004,
    // With poAnimate: start over after the last frame, as often as the looping extension says.
    poLoop = 0x0008,
    // Loop for ever, whatever the looping extension says.
    poLoopForever = 0x0010,
    // Stop when the target canvas is no longer valid.
    poValidateCanvas = 0x0020,
    // Paint each frame straight onto the target instead of through the composed picture.
    poDirectDraw = 0x0040,
    // Prepare before the first paint: with poDirectDraw every frame's bitmap is rendered then,
    // so that the first pass keeps pace.
    poPrepareBuffers = 0x0080,
    // Tile the picture over the target rectangle instead of stretching it.
    poTile = 0x0100,
    // Dither to the web colour cube when painting...
    poDither = 0x0200,
    // ...but only on a display of few colours.
    poDitherOnLowColor = 0x0400,
};
