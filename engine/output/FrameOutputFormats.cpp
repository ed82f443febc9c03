#include "engine/output/FrameOutputFormats.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <exception>
#include <map>
#include <mutex>

#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/output/FrameOutput.h"
#include "platform/Exception.h"

// libavformat takes no outside muxers any more, but it still reads priv_data_size, the three
// write callbacks and deinit from the AVOutputFormat it is given. Those members are not public
// API and move between major versions, so the records below are tied to this one.
#if LIBAVFORMAT_VERSION_MAJOR != 59
#error \
    "The frame output formats fill libavformat 59's AVOutputFormat (priv_data_size, write_header, write_packet, write_trailer, deinit); check where this libavformat reads muxer callbacks from and adapt FrameOutputFormats.cpp."
#endif

namespace {

TOutputFrameInfo* InfoOf(AVFormatContext* context) {
    return static_cast<TOutputFrameInfo*>(context->priv_data);
}

void LogError(AVFormatContext* context, const std::string& line) {
    libav::av_log(context, AV_LOG_ERROR, "%s\n", line.c_str());
}

// The output name as an integer: optional leading blanks, an optional sign, decimal digits.
bool ParseIdentity(const char* text, int64_t& identity) {
    const char* begin = text;
    while (*begin == ' ' || *begin == '\t') ++begin;
    if (*begin == '+') ++begin;
    const char* end = text + std::strlen(text);
    auto [stop, error] = std::from_chars(begin, end, identity);
    return error == std::errc() && stop == end && begin != end;
}

// Errors raised by event handlers, by output, until RaiseFrameOutputError takes them. They are
// kept apart from the record because libavformat frees the record after the trailer.
class TEventErrors {
public:
    void Keep(AVFormatContext* context, std::exception_ptr error) {
        std::lock_guard<std::mutex> guard(mutex_);
        errors_[context] = std::move(error);
    }
    std::exception_ptr Take(AVFormatContext* context) {
        std::lock_guard<std::mutex> guard(mutex_);
        auto found = errors_.find(context);
        if (found == errors_.end()) return nullptr;
        std::exception_ptr error = std::move(found->second);
        errors_.erase(found);
        return error;
    }

private:
    std::mutex mutex_;
    std::map<AVFormatContext*, std::exception_ptr> errors_;
};

TEventErrors& EventErrors() {
    static TEventErrors errors;
    return errors;
}

// Runs an event handler. A handler's error must not unwind through libavformat: it is kept for
// RaiseFrameOutputError and the callback fails instead.
template <typename THandler>
int RunEvent(AVFormatContext* context, THandler&& handler) {
    try {
        handler();
        return 0;
    } catch (const std::exception& error) {
        LogError(context, error.what());
        EventErrors().Keep(context, std::current_exception());
    } catch (...) {
        EventErrors().Keep(context, std::current_exception());
    }
    return AVERROR_EXTERNAL;
}

void DescribeOutput(AVFormatContext* context, TOutputFrameInfo* info) {
    info->FormatContext = context;
    if (context->nb_streams == 0) return;
    const AVCodecParameters* parameters = context->streams[0]->codecpar;
    info->PixelFormat = parameters->format;
    info->Width = parameters->width;
    info->Height = parameters->height;
}

int WriteHeader(AVFormatContext* context) {
    EventErrors().Take(context);  // left over from an earlier output at the same address
    TOutputFrameInfo* info = InfoOf(context);
    const char* name = context->url ? context->url : "";
    int64_t identity = 0;
    if (!ParseIdentity(name, identity)) {
        LogError(context, std::string("Could not parse FrameOutputAdapter: \"") + name +
                              "\", it should be address of FrameOutputAdapter");
        return AVERROR(EINVAL);
    }
    TFrameOutputAdapter* adapter = identity ? TFrameOutputAdapter::Find(identity) : nullptr;
    info->Adapter = adapter;
    if (!adapter) {
        LogError(context, "Invalid FrameOutputAdapter");
        return AVERROR(EINVAL);
    }
    info->AdapterIdentity = identity;
    DescribeOutput(context, info);
    adapter->SetCurrentFrameInfo(info);
    if (!adapter->OnWriteHeader) return 0;
    return RunEvent(context, [&] { adapter->OnWriteHeader(adapter); });
}

int WritePacket(AVFormatContext* context, AVPacket* packet) {
    TOutputFrameInfo* info = InfoOf(context);
    ++info->FrameNumber;
    info->Packet = packet;
    int result = 0;
    TFrameOutputAdapter* adapter = TFrameOutputAdapter::Find(info->AdapterIdentity);
    if (adapter && adapter->OnWriteFrame) {
        result = RunEvent(context, [&] { adapter->OnWriteFrame(adapter, info); });
    }
    info->Packet = nullptr;
    return result;
}

int WriteTrailer(AVFormatContext* context) {
    TFrameOutputAdapter* adapter = TFrameOutputAdapter::Find(InfoOf(context)->AdapterIdentity);
    if (!adapter || !adapter->OnWriteClose) return 0;
    return RunEvent(context, [&] { adapter->OnWriteClose(adapter); });
}

// libavformat frees the record after the trailer, or with the context when the output ends
// early; the adapter must not keep pointing at it.
void Deinit(AVFormatContext* context) {
    TOutputFrameInfo* info = InfoOf(context);
    if (!info) return;
    TFrameOutputAdapter* adapter = TFrameOutputAdapter::Find(info->AdapterIdentity);
    if (adapter && adapter->CurrentFrameInfo() == info) adapter->SetCurrentFrameInfo(nullptr);
}

constexpr int kFormatFlags = AVFMT_NOFILE | AVFMT_NOTIMESTAMPS;

AVOutputFormat MakeFormat(const char* name, const char* longName, const char* mimeType,
                          const char* extensions, AVCodecID videoCodec) {
    AVOutputFormat format{};
    format.name = name;
    format.long_name = longName;
    format.mime_type = mimeType;
    format.extensions = extensions;
    format.audio_codec = AV_CODEC_ID_NONE;
    format.video_codec = videoCodec;
    format.flags = kFormatFlags;
    format.priv_data_size = sizeof(TOutputFrameInfo);
    format.write_header = WriteHeader;
    format.write_packet = WritePacket;
    format.write_trailer = WriteTrailer;
    format.deinit = Deinit;
    return format;
}

const AVOutputFormat kFormats[] = {
    MakeFormat("rawh263", "raw H.263 video format", nullptr, "h263", AV_CODEC_ID_H263),
    MakeFormat("rawh264", "raw H.264 video format", nullptr, "h264", AV_CODEC_ID_H264),
    MakeFormat("rawmjpeg", "raw MJPEG video", "video/x-mjpeg", "mjpg,mjpeg", AV_CODEC_ID_MJPEG),
    MakeFormat("rawyuv", "raw YUV video format", nullptr, "yuv", AV_CODEC_ID_RAWVIDEO),
    MakeFormat("rawrgb", "raw RGB video format", nullptr, "rgb", AV_CODEC_ID_RAWVIDEO),
};

// The formats listed, process-wide.
class TFormatList {
public:
    void Add(const AVOutputFormat* format) {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!FindLocked(format->name)) formats_.push_back(format);
    }
    void Clear() {
        std::lock_guard<std::mutex> guard(mutex_);
        formats_.clear();
    }
    const AVOutputFormat* Find(const char* name) {
        std::lock_guard<std::mutex> guard(mutex_);
        return FindLocked(name);
    }
    bool Contains(const AVOutputFormat* format) {
        std::lock_guard<std::mutex> guard(mutex_);
        return std::find(formats_.begin(), formats_.end(), format) != formats_.end();
    }
    std::vector<std::string> Names() {
        std::lock_guard<std::mutex> guard(mutex_);
        std::vector<std::string> names;
        for (const AVOutputFormat* format : formats_) names.emplace_back(format->name);
        return names;
    }

private:
    const AVOutputFormat* FindLocked(const char* name) const {
        for (const AVOutputFormat* format : formats_) {
            if (std::strcmp(format->name, name) == 0) return format;
        }
        return nullptr;
    }

    std::mutex mutex_;
    std::vector<const AVOutputFormat*> formats_;
};

TFormatList& Listed() {
    static TFormatList list;
    return list;
}

bool LibavformatHasMuxer(const char* name) {
    void* iterator = nullptr;
    while (const AVOutputFormat* format = libav::av_muxer_iterate(&iterator)) {
        if (std::strcmp(format->name, name) == 0) return true;
    }
    return false;
}

}  // namespace

void RegisterFrameOutputFormats() {
    if (!libav::av_muxer_iterate) throw Exception("Assertion failure");
    for (const AVOutputFormat& format : kFormats) {
        if (Listed().Find(format.name) || LibavformatHasMuxer(format.name)) continue;
        Listed().Add(&format);
    }
}

void UnregisterFrameOutputFormats() { Listed().Clear(); }

std::vector<std::string> FrameOutputFormatNames() { return Listed().Names(); }

const AVOutputFormat* FindFrameOutputFormat(const char* name) {
    return name ? Listed().Find(name) : nullptr;
}

bool IsFrameOutputFormat(const AVOutputFormat* format) {
    return format && Listed().Contains(format);
}

const AVOutputFormat* GuessOutputFormat(const char* shortName, const char* fileName,
                                        const char* mimeType) {
    if (const AVOutputFormat* format = FindFrameOutputFormat(shortName)) return format;
    return libav::av_guess_format(shortName, fileName, mimeType);
}

void RaiseFrameOutputError(AVFormatContext* context) {
    if (std::exception_ptr error = EventErrors().Take(context)) std::rethrow_exception(error);
}
