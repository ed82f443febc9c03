#pragma once
// Deinterlacing of decoded pictures: the lines of the second field are rebuilt by a vertical
// 5-tap filter (-1 4 2 4 -1)/8 over their neighbours, the first field's lines are kept.
struct AVFrame;

// Writes the deinterlaced `source` into `target`, which has buffers of the same format and
// size. Planar 8-bit YUV formats (4:2:0, 4:2:2, 4:4:4, 4:1:1, full range too) and grey only,
// with width and height multiples of 4; false for anything else.
bool DeinterlaceFrame(const AVFrame& source, AVFrame& target);
