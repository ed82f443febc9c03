#pragma once
// Where a picture of the logical screen lands on a target rectangle: stretched over it, or
// tiled from its top left corner (the tiles at the right and bottom edges cut).
#include <vector>

#include "platform/Canvas.h"

// A part of a picture (`source`, in its own coordinates) and the target rectangle it fills.
struct TPlacedPart {
    TRect Dest;
    TRect Source;
};

// The placements of a whole picture of width x height.
std::vector<TPlacedPart> PlacePicture(const TRect& target, int width, int height, bool tile);

// The same placements for `area` of the picture: where each copy of the area lands, its source
// given relative to the area's top left corner. Parts that come to nothing are left out.
std::vector<TPlacedPart> PlaceArea(const std::vector<TPlacedPart>& placements, const TRect& area);
