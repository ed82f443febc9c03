#pragma once
// The names of the dithering choices, as both front ends show and take them: the command
// line's --dither values and the options dialog's list.
#include <string>
#include <vector>

#include "gif/core/GIFTypes.h"

// The names in the order of the engines' values: "none" (edNearest), "floyd-steinberg", ...
// A name's position in the list is its engine's value.
const std::vector<std::string>& DitherNames();

// The engine's name ("none" for an engine without one).
const std::string& DitherName(TErrorDiffusion engine);

// The engine of a name, in any case; false for a name that is not in the list.
bool FindDither(const std::string& name, TErrorDiffusion& engine);
