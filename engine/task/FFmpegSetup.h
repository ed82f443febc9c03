#pragma once
// Set-up of a conversion (FFmpegSetup.cpp): every output stream's parameters from its source,
// the packet buffers, the encoders and decoders, the programs to read, the output headers and
// the stream mapping.
#include <vector>

struct AVCodecContext;
class TCustomFFmpeg;

// Returns 0 or a failure: worded by the step that failed, or (opening the codecs and writing
// the headers) told in the log at llError after the stream mapping, for the caller to word.
int transcode_init(TCustomFFmpeg& task);
// Closes a codec opened by the set-up and takes it off its opened list.
void CloseCodec(std::vector<AVCodecContext*>& opened, AVCodecContext* context);
