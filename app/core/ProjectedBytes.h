#pragma once
// How large a GIF the frame sink gave up on at its size limit would have grown: what it wrote,
// scaled by the share of the piece its frames covered. A size search steps down from it
// (TSizeSearch::StepDown).
#include <cstdint>

class TFrameSink;

// From the hundredths the written frames show for, else from their count at `frameRate`; the
// whole piece when neither says (`pieceLength` in microseconds, 0 unknown). Never below
// `limit` + 1: the GIF did not fit.
int64_t ProjectedGifBytes(const TFrameSink& sink, int64_t pieceLength, double frameRate,
                          int64_t limit);
