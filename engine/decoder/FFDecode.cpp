// TCustomDecoder: opening a file, closing it, its summary, the I/O time-out and error recording.
#include "engine/decoder/FFDecode.h"

#include <cstdarg>
#include <vector>

#include "engine/core/FFUtils.h"
#include "engine/core/TextFormat.h"
#include "engine/core/UnicodeProtocol.h"
#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/loader/FFLoad.h"
#include "engine/log/FFLog.h"
#include "platform/FileSystem.h"
#include "platform/MainThread.h"

bool TCustomDecoder::DecoderLibsLoaded() { return FFLoader().LibsLoaded(DecoderLibrarySet); }

void TCustomDecoder::CheckDecoderLibsLoaded() { FFLoader().CheckLibsLoaded(DecoderLibrarySet); }

TCustomDecoder::TCustomDecoder() = default;

TCustomDecoder::~TCustomDecoder() {
    if (DecoderLibsLoaded()) {
        TCustomDecoder::Close();
        optionSet_.Free();
    }
}

void TCustomDecoder::SetFormatOption(const std::string& name, const std::string& value) {
    CheckDecoderLibsLoaded();
    if (!optionSet_.Created()) {
        optionSet_.Recreate(scalerFlags_);
    }
    optionSet_.SetFormatOption(name, value);
}

void TCustomDecoder::SetCodecOption(const std::string& name, const std::string& value) {
    CheckDecoderLibsLoaded();
    if (!optionSet_.Created()) {
        optionSet_.Recreate(scalerFlags_);
    }
    optionSet_.SetCodecOption(name, value);
}

bool TCustomDecoder::LoadFile(const std::string& fileName, const std::string& formatName) {
    CheckDecoderLibsLoaded();
    Close();
    if (!optionSet_.Created()) {
        optionSet_.Recreate(scalerFlags_);
    }
    // Opening takes the format options it uses out of the set; a second opening needs them all.
    AVDictionary* formatOptions = nullptr;
    libav::av_dict_copy(&formatOptions, *optionSet_.FormatOptions(), 0);
    bool probed = OpenAndProbe(fileName, formatName, false);
    if (probed && VideoNotProbed(*formatContext_)) {
        LogF(AV_LOG_INFO, "%s: the video starts late, probing further", fileName.c_str());
        libav::avformat_close_input(&formatContext_);
        libav::av_dict_free(optionSet_.FormatOptions());
        libav::av_dict_copy(optionSet_.FormatOptions(), formatOptions, 0);
        probed = OpenAndProbe(fileName, formatName, true);
    }
    libav::av_dict_free(&formatOptions);
    if (!probed) {
        return false;
    }
    if (formatContext_->pb != nullptr) {
        formatContext_->pb->eof_reached = 0;
        formatContext_->pb->error = 0;
    }
    RefreshSummary();
    const int64_t flags = optionSet_.ScalerFlags();
    if (flags >= 0) {
        ApplyScalerFlags(flags);
    }
    optionSet_.Recreate(scalerFlags_);
    forcedFormatName_ = formatName;
    return true;
}

// Opens the file and probes its streams (reading further than libavformat's default with
// `probeLonger`). False with the file closed when either fails.
bool TCustomDecoder::OpenAndProbe(const std::string& fileName, const std::string& formatName,
                                  bool probeLonger) {
    if (!OpenInput(fileName, formatName, probeLonger)) {
        return false;
    }
    LogUnusedFormatOptions();
    formatContext_->flags |= AVFMT_FLAG_NONBLOCK;
    if (OnBeforeFindStreamInfo) {
        RaiseBeforeFindStreamInfo();
    }
    return FindStreamInfo(fileName);
}

bool TCustomDecoder::OpenInput(const std::string& fileName, const std::string& formatName,
                               bool probeLonger) {
    const AVInputFormat* format = nullptr;
    if (!formatName.empty()) {
        format = libav::av_find_input_format(formatName.c_str());
        if (format == nullptr) {
            RecordErrorF(AV_LOG_ERROR, "Unknown input format: %s", formatName.c_str());
            FailLoad();
            return false;
        }
    }
    if (fileName.size() > MaxLibNameBytes) {
        RecordError(AV_LOG_ERROR, ErrorText(fileName, AVERROR(ENAMETOOLONG)));
        FailLoad();
        return false;
    }
    if (IsPipeOrSocket(fileName)) {
        // Opening would wait for a writer for ever; the time-out cannot reach that call.
        RecordError(AV_LOG_ERROR, fileName + ": Cannot read from a pipe or socket");
        FailLoad();
        return false;
    }
    formatContext_ = libav::avformat_alloc_context();
    if (formatContext_ == nullptr) {
        RecordError(AV_LOG_ERROR, ErrorText(fileName, AVERROR(ENOMEM)));
        FailLoad();
        return false;
    }
    formatContext_->interrupt_callback.callback = &TCustomDecoder::InterruptCallback;
    formatContext_->interrupt_callback.opaque = this;
    if (probeLonger) ProbeLonger(*formatContext_);
    owned_ = true;
    StartIOClock();
    const int ret = libav::avformat_open_input(&formatContext_, WideToLibName(fileName).c_str(),
                                               format, optionSet_.FormatOptions());
    StopIOClock();
    if (ret < 0) {
        // libavformat has freed the context on failure.
        formatContext_ = nullptr;
        RecordError(AV_LOG_ERROR, ErrorText(fileName, ret));
        FailLoad();
        return false;
    }
    return true;
}

void TCustomDecoder::LogUnusedFormatOptions() {
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = libav::av_dict_get(*optionSet_.FormatOptions(), "", entry,
                                       AV_DICT_IGNORE_SUFFIX)) != nullptr) {
        LogF(AV_LOG_ERROR, "Option %s not found, ignored.", entry->key);
    }
}

void TCustomDecoder::RaiseBeforeFindStreamInfo() {
    auto raise = [this] { OnBeforeFindStreamInfo(this, formatContext_); };
    if (TriggerEventInMainThread) {
        Synchronize(raise);
    } else {
        raise();
    }
}

bool TCustomDecoder::FindStreamInfo(const std::string& fileName) {
    const unsigned streamCount = formatContext_->nb_streams;
    std::vector<AVDictionary*> streamOptions(streamCount, nullptr);
    for (AVDictionary*& options : streamOptions) {
        libav::av_dict_copy(&options, optionSet_.CodecOptions(), 0);
    }
    StartIOClock();
    const int ret = libav::avformat_find_stream_info(
        formatContext_, streamOptions.empty() ? nullptr : streamOptions.data());
    StopIOClock();
    for (AVDictionary*& options : streamOptions) {
        libav::av_dict_free(&options);
    }
    if (ret < 0) {
        RecordErrorF(AV_LOG_ERROR, "%s: could not find codec parameters", fileName.c_str());
        FailLoad();
        return false;
    }
    return true;
}

void TCustomDecoder::FailLoad() {
    optionSet_.Recreate(scalerFlags_);
    Close();
}

void TCustomDecoder::ApplyScalerFlags(int64_t) {}

void TCustomDecoder::Close() {
    if (formatContext_ != nullptr && owned_) {
        libav::avformat_close_input(&formatContext_);
    }
    formatContext_ = nullptr;
    owned_ = false;
    forcedFormatName_.clear();
    RefreshSummary();
}

void TCustomDecoder::AttachFormatContext(AVFormatContext* context) {
    Close();
    formatContext_ = context;
    owned_ = false;
    RefreshSummary();
}

void TCustomDecoder::RefreshSummary() {
    summary_ = TDecoderSummary();
    if (formatContext_ == nullptr) {
        return;
    }
    const int64_t contextSize =
        formatContext_->pb != nullptr ? libav::avio_size(formatContext_->pb) : -1;
    if (contextSize > 0) {
        summary_.FileSize = contextSize;
    } else {
        const std::string name = formatContext_->url != nullptr ? formatContext_->url : "";
        summary_.FileSize = FileExists(name) ? ::FileSize(name) : contextSize;
    }
    summary_.StreamCount = static_cast<int>(formatContext_->nb_streams);
    summary_.ProgramCount = static_cast<int>(formatContext_->nb_programs);
    summary_.AudioStreamCount = summary_.VideoStreamCount = summary_.SubtitleStreamCount = 0;
    for (int i = 0; i < summary_.StreamCount; ++i) {
        switch (formatContext_->streams[i]->codecpar->codec_type) {
            case AVMEDIA_TYPE_VIDEO:
                ++summary_.VideoStreamCount;
                if (summary_.FirstVideoStream < 0) summary_.FirstVideoStream = i;
                break;
            case AVMEDIA_TYPE_AUDIO:
                ++summary_.AudioStreamCount;
                if (summary_.FirstAudioStream < 0) summary_.FirstAudioStream = i;
                break;
            case AVMEDIA_TYPE_SUBTITLE:
                ++summary_.SubtitleStreamCount;
                if (summary_.FirstSubtitleStream < 0) summary_.FirstSubtitleStream = i;
                break;
            default:
                break;
        }
    }
    summary_.DefaultVideoStream = DefaultVideoStreamOf(*formatContext_);
}

int TCustomDecoder::InterruptCallback(void* opaque) {
    return static_cast<TCustomDecoder*>(opaque)->IOTimedOut() ? 1 : 0;
}

bool TCustomDecoder::IOTimedOut() {
    const TIOVerdict verdict = ioWatchdog_.Check(ReadTimeout());
    if (verdict == ioContinue) return false;
    LogF(AV_LOG_INFO,
         verdict == ioCancelled ? "connecting/reading canceled" : "connecting/reading timeout");
    return true;
}

bool TCustomDecoder::RequireFile() {
    if (formatContext_ != nullptr) {
        return true;
    }
    RecordError(AV_LOG_WARNING, "file not loaded.");
    return false;
}

void TCustomDecoder::RecordError(int avLevel, const std::string& text) {
    lastErrorMessage_ = text;
    FFLogger().Log(this, AVToLevel(avLevel), text);
}

void TCustomDecoder::RecordErrorF(int avLevel, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string text = StrFormatV(format, args);
    va_end(args);
    RecordError(avLevel, text);
}

void TCustomDecoder::LogF(int avLevel, const char* format, ...) {
    if (AVToLevel(avLevel) > FFLogger().LogLevel()) return;
    va_list args;
    va_start(args, format);
    const std::string text = StrFormatV(format, args);
    va_end(args);
    FFLogger().Log(this, AVToLevel(avLevel), text);
}
