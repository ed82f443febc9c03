#pragma once
// Rows of three-byte pixels in the other channel order: red, green, blue to blue, green, red and
// back (the first and third byte of every pixel swapped).
#include <cstddef>
#include <cstdint>

// Copies `pixels` pixels from `in` to `out` (which must not overlap), the first and third byte
// of each swapped. Neither row is touched beyond its `pixels` x 3 bytes.
void CopySwappingRedAndBlue(const uint8_t* in, uint8_t* out, size_t pixels);
