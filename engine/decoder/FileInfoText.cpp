#include "engine/decoder/FileInfoText.h"

#include <cmath>
#include <cstdlib>
#include <numeric>
#include <set>

#include "engine/core/FFUtils.h"
#include "engine/core/MyUtils.h"
#include "engine/core/ShownPicture.h"
#include "engine/core/TextFormat.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"

namespace {

constexpr size_t kMaxMetadataValue = 255;
constexpr int kDisplayRatioBound = 1048576;

bool RateKnown(AVRational rate) { return rate.num != 0 && rate.den != 0; }

int64_t ToMicroseconds(int64_t value, AVRational timeBase) {
    return libav::av_rescale_q(value, timeBase, AVRational{1, AV_TIME_BASE});
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) text += '\n';
        text += lines[i];
    }
    return text;
}

std::string DurationLine(const AVFormatContext& context) {
    std::string line = "Duration: " + FormatTimestamp(context.duration);
    if (context.start_time != AV_NOPTS_VALUE) {
        line += ", start: " + StartText(context.start_time);
    }
    line += ", bitrate: ";
    line += context.bit_rate <= 0 ? std::string("N/A")
                                  : StrFormat("%d kb/s", static_cast<int>(context.bit_rate / 1000));
    return line;
}

void AppendChapters(std::vector<std::string>& lines, const AVFormatContext& context) {
    for (unsigned i = 0; i < context.nb_chapters; ++i) {
        const AVChapter& chapter = *context.chapters[i];
        const double unit = av_q2d(chapter.time_base);
        lines.push_back(StrFormat("Chapter #%u: start %.6f, end %.6f", i, chapter.start * unit,
                                  chapter.end * unit));
        AppendMetadataBlock(lines, "  ", chapter.metadata);
    }
}

std::string StreamIdAndLanguage(const AVFormatContext& context, const AVStream& stream) {
    std::string text;
    if (context.iformat != nullptr && (context.iformat->flags & AVFMT_SHOW_IDS) != 0) {
        text += StrFormat("[0x%x]", stream.id);
    }
    const AVDictionaryEntry* language = libav::av_dict_get(stream.metadata, "language", nullptr, 0);
    if (language != nullptr) {
        text += StrFormat("(%s)", language->value);
    }
    return text;
}

std::string TimeBaseText(AVRational timeBase) {
    const int divisor = std::gcd(timeBase.num, timeBase.den);
    if (divisor == 0) {
        return StrFormat(", %d/%d", timeBase.num, timeBase.den);
    }
    return StrFormat(", %d/%d", timeBase.num / divisor, timeBase.den / divisor);
}

std::string AspectText(const AVStream& stream) {
    const AVRational sar = stream.sample_aspect_ratio;
    const AVRational codecSar = stream.codecpar->sample_aspect_ratio;
    if (sar.num == 0 || av_cmp_q(sar, codecSar) == 0) {
        return std::string();
    }
    AVRational dar{0, 1};
    libav::av_reduce(&dar.num, &dar.den, static_cast<int64_t>(stream.codecpar->width) * sar.num,
                     static_cast<int64_t>(stream.codecpar->height) * sar.den, kDisplayRatioBound);
    return StrFormat(", SAR %d:%d DAR %d:%d", sar.num, sar.den, dar.num, dar.den);
}

// The codec time base as libavcodec reports it for the stream's parameters.
AVRational CodecTimeBase(const AVStream& stream) {
    AVCodecContext* codec = libav::avcodec_alloc_context3(nullptr);
    if (codec == nullptr) {
        return AVRational{0, 1};
    }
    libav::avcodec_parameters_to_context(codec, stream.codecpar);
    const AVRational timeBase = codec->time_base;
    libav::avcodec_free_context(&codec);
    return timeBase;
}

std::string VideoRates(const AVStream& stream) {
    std::string text;
    if (RateKnown(stream.avg_frame_rate)) text += RateText(av_q2d(stream.avg_frame_rate), "fps");
    if (RateKnown(stream.r_frame_rate)) text += RateText(av_q2d(stream.r_frame_rate), "tbr");
    if (RateKnown(stream.time_base)) text += RateText(1 / av_q2d(stream.time_base), "tbn");
    const AVRational codecTimeBase = CodecTimeBase(stream);
    if (RateKnown(codecTimeBase)) text += RateText(1 / av_q2d(codecTimeBase), "tbc");
    return text;
}

std::string DispositionText(int disposition) {
    static const char* const marks[] = {
        " (default)", " (dub)",    " (original)",         " (comment)",         " (lyrics)",
        " (karaoke)", " (forced)", " (hearing impaired)", " (visual impaired)", " (clean effects)",
    };
    std::string text;
    for (int bit = 0; bit < 10; ++bit) {
        if ((disposition & (1 << bit)) != 0) text += marks[bit];
    }
    return text;
}

std::string StreamTimes(const AVStream& stream) {
    std::string text;
    if (stream.start_time != AV_NOPTS_VALUE) {
        text += ", start: " + StartText(ToMicroseconds(stream.start_time, stream.time_base));
    }
    if (stream.duration != AV_NOPTS_VALUE) {
        text += ", duration: " + FormatTimestamp(ToMicroseconds(stream.duration, stream.time_base));
    }
    return text;
}

// "    Shown as 360x640: rotated 90 degrees clockwise" for a video stream whose pictures players
// turn or stretch, after its stream line.
void AppendShownPicture(std::vector<std::string>& lines, const AVStream& stream) {
    const AVCodecParameters& parameters = *stream.codecpar;
    if (parameters.codec_type != AVMEDIA_TYPE_VIDEO) return;
    const TShownSize shown = ShownSizeOf(stream);
    const std::string turn = TurnText(PictureTurnOf(stream));
    const bool stretched = shown.Width != parameters.width || shown.Height != parameters.height;
    if (shown.Width <= 0 || (turn.empty() && !stretched)) return;
    std::string line = StrFormat("    Shown as %dx%d", shown.Width, shown.Height);
    if (!turn.empty()) line += ": " + turn;
    lines.push_back(line);
}

void AppendStream(std::vector<std::string>& lines, const AVFormatContext& context, int index) {
    const AVStream& stream = *context.streams[index];
    std::string line = StrFormat("  Stream #%d", index);
    line += StreamIdAndLanguage(context, stream);
    line += TimeBaseText(stream.time_base);
    line += ": " + CodecDescription(stream);
    line += AspectText(stream);
    if (stream.codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
        line += VideoRates(stream);
    }
    line += DispositionText(stream.disposition);
    line += StreamTimes(stream);
    lines.push_back(line);
    AppendShownPicture(lines, stream);
    AppendMetadataBlock(lines, "  ", stream.metadata);
}

void AppendProgramsAndStreams(std::vector<std::string>& lines, const AVFormatContext& context) {
    std::set<unsigned> listed;
    unsigned total = 0;
    for (unsigned p = 0; p < context.nb_programs; ++p) {
        const AVProgram& program = *context.programs[p];
        lines.push_back(StrFormat("Program %d %s", program.id,
                                  DictValue(program.metadata, "name", "").c_str()));
        AppendMetadataBlock(lines, "  ", program.metadata);
        for (unsigned k = 0; k < program.nb_stream_indexes; ++k) {
            const unsigned index = program.stream_index[k];
            if (index >= context.nb_streams) continue;
            AppendStream(lines, context, static_cast<int>(index));
            listed.insert(index);
        }
        total += program.nb_stream_indexes;
    }
    if (context.nb_programs > 0 && total < context.nb_streams) {
        lines.push_back("No Program");
    }
    for (unsigned i = 0; i < context.nb_streams; ++i) {
        if (listed.count(i) == 0) AppendStream(lines, context, static_cast<int>(i));
    }
}

}  // namespace

std::string CodecDescription(const AVStream& stream) {
    AVCodecContext* codec = libav::avcodec_alloc_context3(nullptr);
    if (codec == nullptr) {
        return std::string();
    }
    char buffer[256] = {};
    if (libav::avcodec_parameters_to_context(codec, stream.codecpar) >= 0) {
        libav::avcodec_string(buffer, sizeof buffer, codec, 0);
    }
    libav::avcodec_free_context(&codec);
    return buffer;
}

std::string RateText(double rate, const char* unit) {
    const long long hundredths = std::llround(rate * 100);
    if (hundredths % 100 != 0) return StrFormat(", %3.2f %s", rate, unit);
    if (hundredths % (100 * 1000) != 0) return StrFormat(", %1.0f %s", rate, unit);
    return StrFormat(", %1.0fk %s", rate / 1000, unit);
}

std::string StartText(int64_t microseconds) {
    const int64_t seconds = microseconds / AV_TIME_BASE;
    const int64_t remainder = std::llabs(microseconds % AV_TIME_BASE);
    // A start between -1 and 0 seconds has no sign in its whole seconds; keep it.
    const char* sign = microseconds < 0 && seconds == 0 ? "-" : "";
    return StrFormat("%s%d.%.6d", sign, static_cast<int>(seconds), static_cast<int>(remainder));
}

void AppendMetadataBlock(std::vector<std::string>& lines, const std::string& prefix,
                         const AVDictionary* metadata) {
    const int count = metadata != nullptr ? libav::av_dict_count(metadata) : 0;
    if (count == 0 ||
        (count == 1 && libav::av_dict_get(metadata, "language", nullptr, 0) != nullptr)) {
        return;
    }
    lines.push_back(prefix + "Metadata:");
    const AVDictionaryEntry* entry = nullptr;
    while ((entry = libav::av_dict_get(metadata, "", entry, AV_DICT_IGNORE_SUFFIX)) != nullptr) {
        if (std::string(entry->key) == "language") continue;
        std::string value(entry->value);
        if (value.size() > kMaxMetadataValue) value.resize(kMaxMetadataValue);
        for (char& c : value) {
            if (c == '\r') c = ' ';
        }
        lines.push_back(StrFormat("%s  %-16s: ", prefix.c_str(), entry->key) + value);
    }
}

std::string FileInfoText(const AVFormatContext& context, int64_t fileSize) {
    std::vector<std::string> lines;
    lines.push_back(std::string("File Name: ") + (context.url != nullptr ? context.url : ""));
    const AVInputFormat* format = context.iformat;
    lines.push_back(std::string("Format Name: ") + (format != nullptr ? format->name : ""));
    if (format != nullptr && format->long_name != nullptr && format->long_name[0] != '\0') {
        lines.push_back(std::string("Format Long Name: ") + format->long_name);
    }
    lines.push_back("File Size: " + FormatSize(fileSize));
    AppendMetadataBlock(lines, "", context.metadata);
    lines.push_back(DurationLine(context));
    AppendChapters(lines, context);
    AppendProgramsAndStreams(lines, context);
    return JoinLines(lines);
}
