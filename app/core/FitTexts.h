#pragma once
// What the front ends say about a GIF fitted to a size limit.
#include <cstdint>
#include <string>

#include "app/core/FitLadder.h"
#include "app/core/SizeSearch.h"

// "400x225, 15 fps, quality 70" (no quality for the octree colours, which have none).
std::string FitSettingsText(const TFitSettings& rung, TFrameColors colors);

// "fitted to 8 MB: 400x225, 15 fps, quality 70".
std::string FittedText(int64_t limit, const TFitSettings& rung, TFrameColors colors);

// "about 4.2 MB".
std::string EstimateText(int64_t bytes);

// Why nothing was written, and what would fit: "ClipGIF cannot fit 40 s into 1 MB; about 6 s
// at 160x90 would fit" (or "not even one frame at 160x90 would fit"), from the estimate of the
// lowest rung for a piece of `pieceLength` microseconds (0: unknown, then the piece is called
// "this clip").
std::string CannotFitText(int64_t pieceLength, int64_t limit, const TSizeEstimate& lowest,
                          const TFitSettings& lowestRung);

// Seconds for reading: "40 s", "6.5 s".
std::string SecondsForReading(double seconds);
