#include "engine/core/ShownPicture.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "engine/entrypoints/avutil.h"

namespace {

constexpr int kLargestSide = 0xFFFF;
// How far (degrees) an angle may lie from a quarter turn and still count as one.
constexpr double kQuarterTurnTolerance = 1.0;
// How far from 1 a sample aspect ratio may lie and still count as square pixels.
constexpr double kSquareTolerance = 0.01;
// How much of a file probing may read for a video stream that starts late (libavformat's own
// limits are 5 s and 5 MB).
constexpr int64_t kLongProbeTime = 60 * int64_t{AV_TIME_BASE};
constexpr int64_t kLongProbeSize = int64_t{64} << 20;

bool Near(double angle, double target) { return std::fabs(angle - target) < kQuarterTurnTolerance; }

// Degrees clockwise in [-0.9, 359.1), as the ffmpeg tool folds them.
double FoldDegrees(double degrees) { return degrees - 360 * std::floor(degrees / 360 + 0.9 / 360); }

// The ffmpeg tool's reading: the clockwise angle picks the quarter turn, and the matrix's signs
// pick the flips that come with it.
TPictureTurn TurnOfDisplayMatrix(const int32_t* matrix) {
    const double counterClockwise = libav::av_display_rotation_get(matrix);
    if (std::isnan(counterClockwise)) return {};
    const double theta = FoldDegrees(-std::round(counterClockwise));
    TPictureTurn turn;
    if (Near(theta, 90)) {
        turn.Transpose = matrix[3] > 0 ? TPictureTurn::tpCClockFlip : TPictureTurn::tpClock;
    } else if (Near(theta, 180)) {
        turn.HFlip = matrix[0] < 0;
        turn.VFlip = matrix[4] < 0;
    } else if (Near(theta, 270)) {
        turn.Transpose = matrix[3] < 0 ? TPictureTurn::tpClockFlip : TPictureTurn::tpCClock;
    } else if (std::fabs(theta) > kQuarterTurnTolerance) {
        turn.Angle = theta;
    } else {
        turn.VFlip = matrix[4] < 0;
    }
    return turn;
}

// The tag's number, when the whole tag is one.
bool ParseDegrees(const char* text, double& degrees) {
    const char* end = text + std::char_traits<char>::length(text);
    const auto [stop, error] = std::from_chars(text, end, degrees);
    return error == std::errc() && stop == end && std::isfinite(degrees);
}

// A number for a text or a filter argument: "." whatever the locale, no needless digits.
std::string NumberText(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

const char* TransposeName(int transpose) {
    static const char* const names[] = {"cclock_flip", "clock", "cclock", "clock_flip"};
    return names[transpose];
}

int Side(double length) {
    return static_cast<int>(std::clamp<double>(std::round(length), 1, kLargestSide));
}

}  // namespace

TPictureTurn TurnOfRotateTag(double degrees) {
    const double theta = FoldDegrees(degrees);
    TPictureTurn turn;
    if (Near(theta, 90)) {
        turn.Transpose = TPictureTurn::tpClock;
    } else if (Near(theta, 180)) {
        turn.HFlip = turn.VFlip = true;
    } else if (Near(theta, 270)) {
        turn.Transpose = TPictureTurn::tpCClock;
    } else if (std::fabs(theta) > kQuarterTurnTolerance) {
        turn.Angle = theta;
    }
    return turn;
}

TPictureTurn PictureTurnOf(const AVStream& stream) {
    size_t size = 0;
    const uint8_t* matrix =
        libav::av_stream_get_side_data(&stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    // side data is allocated by av_malloc: aligned for its nine 32-bit numbers
    if (matrix && size >= 9 * sizeof(int32_t))
        return TurnOfDisplayMatrix(reinterpret_cast<const int32_t*>(matrix));
    const AVDictionaryEntry* tag = libav::av_dict_get(stream.metadata, "rotate", nullptr, 0);
    double degrees = 0;
    if (tag && tag->value && ParseDegrees(tag->value, degrees)) return TurnOfRotateTag(degrees);
    return {};
}

std::vector<std::pair<std::string, std::string>> TurnFilters(const TPictureTurn& turn) {
    std::vector<std::pair<std::string, std::string>> filters;
    if (turn.Transpose != TPictureTurn::tpNone)
        filters.emplace_back("transpose", std::string("dir=") + TransposeName(turn.Transpose));
    if (turn.HFlip) filters.emplace_back("hflip", "");
    if (turn.VFlip) filters.emplace_back("vflip", "");
    if (turn.Angle != 0) filters.emplace_back("rotate", NumberText(turn.Angle) + "*PI/180");
    return filters;
}

std::string TurnText(const TPictureTurn& turn) {
    switch (turn.Transpose) {
        case TPictureTurn::tpClock:
            return "rotated 90 degrees clockwise";
        case TPictureTurn::tpCClock:
            return "rotated 90 degrees counter-clockwise";
        case TPictureTurn::tpClockFlip:
            return "rotated 90 degrees clockwise and flipped upside down";
        case TPictureTurn::tpCClockFlip:
            return "rotated 90 degrees counter-clockwise and flipped upside down";
        default:
            break;
    }
    if (turn.HFlip && turn.VFlip) return "rotated 180 degrees";
    if (turn.HFlip) return "mirrored left to right";
    if (turn.VFlip) return "flipped upside down";
    if (turn.Angle != 0) return "rotated " + NumberText(turn.Angle) + " degrees clockwise";
    return "";
}

AVRational SampleAspectOf(const AVStream& stream) {
    const AVRational own = stream.sample_aspect_ratio;
    if (own.num > 0 && own.den > 0) return own;
    const AVRational coded = stream.codecpar->sample_aspect_ratio;
    if (coded.num > 0 && coded.den > 0) return coded;
    return AVRational{0, 1};
}

TShownSize ShownSizeOf(int width, int height, AVRational sampleAspect, const TPictureTurn& turn) {
    if (width <= 0 || height <= 0) return {};
    const double aspect = sampleAspect.num > 0 && sampleAspect.den > 0
                              ? static_cast<double>(sampleAspect.num) / sampleAspect.den
                              : 1.0;
    TShownSize size{Side(width), Side(height)};
    // A scaler's rounding leaves pixels a hair from square (156:157): no stretch for that.
    if (aspect > 1 + kSquareTolerance) size.Width = Side(width * aspect);
    if (aspect < 1 - kSquareTolerance) size.Height = Side(height / aspect);
    if (turn.SwapsSides()) std::swap(size.Width, size.Height);
    return size;
}

TShownSize ShownSizeOf(const AVStream& stream) {
    const AVCodecParameters& parameters = *stream.codecpar;
    return ShownSizeOf(parameters.width, parameters.height, SampleAspectOf(stream),
                       PictureTurnOf(stream));
}

int DefaultVideoStreamOf(const AVFormatContext& context) {
    int firstPicture = -1;  // the first stream that is no cover
    int firstVideo = -1;
    for (unsigned i = 0; i < context.nb_streams; ++i) {
        const AVStream& stream = *context.streams[i];
        if (stream.codecpar->codec_type != AVMEDIA_TYPE_VIDEO) continue;
        const int index = static_cast<int>(i);
        if (firstVideo < 0) firstVideo = index;
        if (stream.disposition & AV_DISPOSITION_ATTACHED_PIC) continue;
        if (stream.disposition & AV_DISPOSITION_DEFAULT) return index;
        if (firstPicture < 0) firstPicture = index;
    }
    return firstPicture >= 0 ? firstPicture : firstVideo;
}

bool VideoNotProbed(const AVFormatContext& context) {
    const int index = DefaultVideoStreamOf(context);
    if (index < 0) return false;
    const AVCodecParameters& parameters = *context.streams[index]->codecpar;
    return parameters.width <= 0 || parameters.height <= 0 || parameters.format < 0;
}

void ProbeLonger(AVFormatContext& context) {
    context.max_analyze_duration = std::max<int64_t>(context.max_analyze_duration, kLongProbeTime);
    context.probesize = std::max<int64_t>(context.probesize, kLongProbeSize);
}
