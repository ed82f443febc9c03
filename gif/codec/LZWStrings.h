#pragma once
// The codes an LZW encoder emits for a frame's pixels, one per string (without the clear and
// end codes), as a pass that follows the encoder's string table finds them: the encoder can
// pack them without looking the strings up again.
#include <cstddef>
#include <cstdint>
#include <vector>

struct TLZWStrings {
    int BitsPerPixel = 0;  // the code size they were found for
    size_t Pixels = 0;     // and the number of pixels
    // The first Count codes are the strings'; the vector keeps its size from frame to frame.
    std::vector<uint16_t> Codes;
    size_t Count = 0;
};
