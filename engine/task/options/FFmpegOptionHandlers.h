#pragma once
// The handlers of the option table and what they share with the parser. Private to
// engine/task/options/: the rest of the engine parses options through TCustomFFmpeg.
//
// Every handler has the form of TOptionHandler or TPerFileOptionHandler (FFmpegOptionDef.h).
#include <string>

#include "engine/core/ErrorCodes.h"
#include "engine/task/FFmpegTask.h"

// Stores the message as the task's LastParseError, logs it at llError and returns `code`.
int LogHandlerError(TCustomFFmpeg& task, const std::string& message,
                    int code = kErrorInvalidArgument);
// Adds the text to the task's LastParseError, on a line of its own after what is there.
void AddParseError(TCustomFFmpeg& task, const std::string& text);
// Writes a parse failure to the library log (av_log at error level).
void LogLibraryError(const std::string& text);
// A "key=value" line of a preset: the codec options (-acodec, -vcodec, -scodec, -dcodec, any
// case) are parsed as options, any other key is a library option.
int ApplyPresetLine(TCustomFFmpeg& task, TOptionsContext& o, const std::string& key,
                    const std::string& value);

// FFmpegOptionHandlers.cpp: refused, ignored and deprecated options, codecs, and the options
// that set task variables through their own rules.
int OptNotSupported(TCustomFFmpeg& task, const std::string& opt, const std::string& arg);
int OptIgnored(TCustomFFmpeg& task, const std::string& opt, const std::string& arg);
int OptAccepted(TCustomFFmpeg& task, const std::string& opt, const std::string& arg);
int OptCropRemoved(TCustomFFmpeg& task, const std::string& opt, const std::string& arg);
int OptPadRemoved(TCustomFFmpeg& task, const std::string& opt, const std::string& arg);
int OptVideoChannel(TCustomFFmpeg& task, const std::string& opt, const std::string& arg);
int OptVideoStandard(TCustomFFmpeg& task, const std::string& opt, const std::string& arg);
int OptVideoCodec(TCustomFFmpeg& task, TOptionsContext& o, const std::string& opt,
                  const std::string& arg);
int OptAudioCodec(TCustomFFmpeg& task, TOptionsContext& o, const std::string& opt,
                  const std::string& arg);
int OptSubtitleCodec(TCustomFFmpeg& task, TOptionsContext& o, const std::string& opt,
                     const std::string& arg);
int OptBitrate(TCustomFFmpeg& task, TOptionsContext& o, const std::string& opt,
               const std::string& arg);
int OptQScale(TCustomFFmpeg& task, TOptionsContext& o, const std::string& opt,
              const std::string& arg);
int OptPass(TCustomFFmpeg& task, const std::string& opt, const std::string& arg);
int OptPassLogFile(TCustomFFmpeg& task, const std::string& opt, const std::string& arg);
int OptVSync(TCustomFFmpeg& task, const std::string& opt, const std::string& arg);
int OptStreamId(TCustomFFmpeg& task, TOptionsContext& o, const std::string& opt,
                const std::string& arg);
int OptAttach(TCustomFFmpeg& task, TOptionsContext& o, const std::string& opt,
              const std::string& arg);
int OptVideoHookBitsPixel(TCustomFFmpeg& task, const std::string& opt, const std::string& arg);
int OptVideoHook(TCustomFFmpeg& task, const std::string& opt, const std::string& arg);
int OptVStats(TCustomFFmpeg& task, const std::string& opt, const std::string& arg);
int OptVStatsFile(TCustomFFmpeg& task, const std::string& opt, const std::string& arg);
int OptLogLevel(TCustomFFmpeg& task, const std::string& opt, const std::string& arg);
int OptCodecDebug(TCustomFFmpeg& task, const std::string& opt, const std::string& arg);
int OptMaxAlloc(TCustomFFmpeg& task, const std::string& opt, const std::string& arg);
int OptDefault(TCustomFFmpeg& task, const std::string& opt, const std::string& arg);

// FFmpegTimeOptions.cpp: -timestamp, -TimeStart, -TimeLength.
int OptRecordingTimestamp(TCustomFFmpeg& task, TOptionsContext& o, const std::string& opt,
                          const std::string& arg);
int OptTimeStart(TCustomFFmpeg& task, TOptionsContext& o, const std::string& opt,
                 const std::string& arg);
int OptTimeLength(TCustomFFmpeg& task, TOptionsContext& o, const std::string& opt,
                  const std::string& arg);

// FFmpegTargetOption.cpp: -target.
int OptTarget(TCustomFFmpeg& task, TOptionsContext& o, const std::string& opt,
              const std::string& arg);

// FFmpegPresetFile.cpp: -apre, -vpre, -spre, -fpre.
int OptPreset(TCustomFFmpeg& task, TOptionsContext& o, const std::string& opt,
              const std::string& arg);

// FFmpegStreamMapping.cpp: -map and -map_channel.
int MapStreams(TCustomFFmpeg& task, TOptionsContext& o, const std::string& opt,
               const std::string& arg);
int OptMapChannel(TCustomFFmpeg& task, TOptionsContext& o, const std::string& opt,
                  const std::string& arg);
