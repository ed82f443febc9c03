#pragma once
// The steps of opening inputs and outputs that more than one file of engine/task/open/ uses.
// Private to this folder: the rest of the engine opens files through TCustomFFmpeg.
#include <string>

#include "engine/core/FFUtils.h"
#include "engine/task/FFmpegTask.h"
#include "engine/task/options/FFmpegStreamSpecifier.h"

// FFmpegCodecOptions.cpp: codecs by name and the codec options of one stream.

// The encoder or decoder of that name and media type; fatal "Unknown %s '%s'" or
// "Invalid %s type '%s'" ("encoder" or "decoder" and the name) otherwise.
const AVCodec* FindCodecByName(TCustomFFmpeg& task, const std::string& name, AVMediaType type,
                               bool encoder);
// The entries of opts that the codec of this stream knows, without their stream specifiers
// (entries whose specifier does not match the stream are left out); null for no codec or a
// malformed specifier.
AVDictionary* FilterCodecOpts(AVDictionary* opts, const AVCodec* codec, AVFormatContext* s,
                              AVStream* st);

// The value of the last entry of the list whose specifier matches the stream, or null; fatal
// for a malformed specifier.
template <typename T>
const T* MatchPerStreamOpt(TCustomFFmpeg& task, const TSpecifierList<T>& list, AVFormatContext* s,
                           AVStream* st) {
    const T* found = nullptr;
    for (const TSpecifierOpt<T>& entry : list) {
        const int ret = check_stream_specifier(s, st, entry.Specifier);
        if (ret > 0)
            found = &entry.Value;
        else if (ret < 0)
            task.FatalError(ErrorText("check_stream_specifier", ret));
    }
    return found;
}

// FFmpegOutputStreams.cpp: a new output stream of the output being opened (oc), fed by the
// input stream `sourceIndex` (-1: none), with the option context's per-stream settings. Each
// returns the index in the output stream table.
int NewStreamOfType(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc, AVMediaType type,
                    int sourceIndex);  // -1 for a type without streams
int NewVideoStream(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc, int sourceIndex);
int NewAudioStream(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc, int sourceIndex);
int NewSubtitleStream(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc,
                      int sourceIndex);
int NewAttachmentStream(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc);

// FFmpegAttachments.cpp: each -attach file becomes an attachment stream holding the whole file.
// False, with the message in LastError, when a file cannot be read.
bool AddAttachments(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc);

// FFmpegMetadata.cpp: metadata and chapters of the output being opened. Each returns false
// with the message in LastError when it fails.
bool ApplyMetadataMaps(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc);
bool ApplyChapters(TCustomFFmpeg& task, TOptionsContext& o, int outputIndex);
void CopyAutomaticMetadata(TCustomFFmpeg& task, TOptionsContext& o, int outputIndex);
bool ApplyMetadataOptions(TCustomFFmpeg& task, TOptionsContext& o, AVFormatContext* oc);
