#pragma once
// Colour table optimisation: entries ordered by how many pixels use them, unused ones dropped.
#include <cstdint>
#include <vector>

class TGIFColorMap;
class TGIFImage;
class TGIFSubImage;

// Counts the pixels of `users` (the frames whose indices refer to `map`) per entry, sorts the
// entries by descending use (ties keep their order), rewrites those frames' pixels and
// transparent indices to match, drops the entries nobody uses and marks the table sorted.
// Returns whether the table changed. Tables of one entry or none, and tables no pixel uses,
// are left alone. A `background` index into the table (the logical screen's) follows its
// entry, which is kept, right after those in use, even when no pixel uses it.
bool OptimizeColorMap(TGIFColorMap& map, const std::vector<TGIFSubImage*>& users,
                      uint8_t* background = nullptr);
// The frame's own table.
bool OptimizeLocalColorMap(TGIFSubImage& frame);
// The document's global table, used by every frame without a local one, and the logical
// screen's background index into it.
bool OptimizeGlobalColorMap(TGIFImage& image);
