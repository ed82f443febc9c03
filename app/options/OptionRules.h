#pragma once
// The arithmetic of the output options dialog, apart from its widgets: how many track-bar steps
// a clip gets, the track bar's range, ticks and page, and where a frame is drawn in the preview.
#include <cstdint>

// The number of track-bar steps of a clip: its video frames (duration in microseconds times the
// frame rate), or tenths of seconds for a clip without a usable video stream. Rounded to
// nearest, halves to even; a count beyond 32 bits is held at the largest 32-bit value.
int32_t FramesInDuration(int64_t durationUs, int rateNum, int rateDen);
int32_t TenthsInDuration(int64_t durationUs);

// A track bar's range after its frame count changed: the position keeps its share of the range.
struct TTrackBarRange {
    int Maximum = 0;
    int Frequency = 1;  // of the tick marks
    int PageSize = 2;
    int Position = 0;
};
// The largest maximum a track bar takes.
constexpr int kTrackBarLimit = 32767;
// `frameCount` 0 (unknown) keeps the old maximum.
TTrackBarRange TrackBarRangeFor(int32_t frameCount, int oldPosition, int oldMaximum);

// The track-bar position a time falls on: min(maximum, round(maximum x time / duration)).
int TrackBarPositionOf(int64_t timeUs, int64_t durationUs, int maximum);
// The time a track-bar position stands for: round(position / maximum x duration), 0 when the
// maximum is 0.
int64_t TimeOfTrackBarPosition(int position, int maximum, int64_t durationUs);

// Where a picture of `width` x `height` goes in an area of `areaWidth` x `areaHeight` when it is
// stretched with its aspect kept: full width with margins at top and bottom, or full height with
// margins left and right. Empty (all 0) for a picture without area.
struct TPlacement {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};
TPlacement AspectPlacement(int width, int height, int areaWidth, int areaHeight);
