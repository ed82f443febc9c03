#pragma once
// What a conversion lost of its video to a damaged input (FFmpegLosses.cpp).
#include "engine/task/FFmpegRoutes.h"

class TCustomFFmpeg;

// The losses of the first encoded video stream of a conversion that ran to its end: where the
// reading of its input stopped, when that was short of where the piece was to end (or an error
// stopped it), and the places its video was damaged. Nothing for a join.
TVideoLosses MeasureVideoLosses(const TCustomFFmpeg& task);
