#pragma once
// Loading the media libraries for a command-line mode.
#include <cstdint>
#include <string>

#include "engine/loader/FFLoad.h"

// Loads `libs` from the "lib" folder beside the program (or through the system's search).
// On failure writes the loader's message to stderr and returns false.
bool LoadCliLibraries(TLibrarySet libs);
