#pragma once
// How many threads decode a pipelined conversion's video. libavcodec's own choice for H.264
// decodes several frames at once, a thread each. That pays when decoding is the heavy part of
// the work: large or densely coded pictures made into small GIFs. Otherwise the frame workers
// keep the cores busy anyway, and the decoder's threads only add hand-offs and a copy of the
// decoder's state per frame: on two cores, a 640x480 clip made into a 320x240 GIF takes 4% more
// CPU time and 6-8% more wall time with them. The conversion's own thread then decodes alone.
#include <cstdint>

#include "app/core/ConversionChoices.h"
#include "app/core/TaskOptions.h"

// 1 when one thread decodes the clip fast enough for `frameWorkers` workers making frames of
// `outputPixels` pixels, `outputsPerDecoded` of them per decoded frame; else 0, the codec
// library's choice. Only H.264's cost is known: 0 for the other codecs, and when the clip's bit
// rate is unknown.
int DecoderThreadCount(const TClipFacts& facts, int64_t outputPixels, double outputsPerDecoded,
                       int frameWorkers);

// DecoderThreadCount of the conversion `texts` were built for, on this machine.
int DefaultDecoderThreads(const TConversionChoices& choices, const TClipFacts& facts,
                          const TTaskOptionTexts& texts);
