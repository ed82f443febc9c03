#pragma once
// The dithering choices and their names, as both front ends show and take them: the command
// line's --dither values and the options dialog's list.
#include <cstdint>
#include <string>
#include <vector>

#include "gif/core/GIFTypes.h"

// An error diffusion engine (the values of TErrorDiffusion, "none" being edNearest), or the
// pattern that stays still from frame to frame, which only the fitted colours have (the octree
// colours then take none).
enum TDitherChoice : uint8_t {
    dcNone = edNearest,
    dcFloydSteinberg = edFloydSteinberg,
    dcStucki = edStucki,
    dcSierra = edSierra,
    dcJaJuNi = edJaJuNi,
    dcSteveArche = edSteveArche,
    dcBurkes = edBurkes,
    dcPattern,
};

// The error diffusion engine of a choice (edNearest for none and for the pattern).
TErrorDiffusion DiffusionOf(TDitherChoice choice);

// The names in the order of the choices' values: "none", "floyd-steinberg", ..., "burkes",
// "pattern". A name's position in the list is its choice's value.
const std::vector<std::string>& DitherNames();

// The choice's name ("none" for a value without one).
const std::string& DitherName(TDitherChoice choice);

// The choice of a name, in any case; false for a name that is not in the list.
bool FindDither(const std::string& name, TDitherChoice& choice);
