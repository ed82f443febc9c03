#pragma once
// A bitmap turned upright the way its stream is shown (ShownPicture.h): transposed, mirrored,
// flipped. For pictures a user looks at one at a time (the decoder's current frame), not for
// the frames of a conversion, which the filter graph turns.
#include "engine/core/ShownPicture.h"
#include "platform/Bitmap.h"

// `out` becomes `in` turned: sides swapped by a transpose, mirrored and flipped as the turn
// says, with the same pixel format and palette. A turn that is no quarter turn (Angle) is left
// out: `out` then shows `in` as it is. 1- and 4-bit bitmaps are copied unturned.
void TurnBitmap(const TBitmap& in, const TPictureTurn& turn, TBitmap& out);
