#include "cli/TaskOptions.h"

#include <algorithm>
#include <cmath>

#include "app/core/OptionStrings.h"
#include "engine/decoder/FFDecode.h"

namespace {

constexpr int kLargestSide = 0xFFFF;

// Closes the decoder's file when the scope ends.
class TCloseAtEnd {
public:
    explicit TCloseAtEnd(TFFDecoder& decoder) : decoder_(decoder) {}
    ~TCloseAtEnd() { decoder_.Close(); }
    TCloseAtEnd(const TCloseAtEnd&) = delete;
    TCloseAtEnd& operator=(const TCloseAtEnd&) = delete;

private:
    TFFDecoder& decoder_;
};

// The height that keeps the clip's aspect ratio at `width`.
int HeightForWidth(int width, const TClipFacts& facts) {
    double aspect = facts.AspectRatio;
    if (!(aspect > 0) && facts.Width > 0 && facts.Height > 0)
        aspect = static_cast<double>(facts.Width) / facts.Height;
    if (!(aspect > 0)) return width;
    return static_cast<int>(std::clamp<long>(std::lround(width / aspect), 1, kLargestSide));
}

}  // namespace

bool ReadClipFacts(TFFDecoder& decoder, const std::string& fileName, TClipFacts& facts,
                   std::string& error) {
    facts = TClipFacts();
    if (!decoder.LoadFile(fileName)) {
        error = decoder.LastErrorMessage();
        return false;
    }
    TCloseAtEnd close(decoder);
    const TFileInfo file = decoder.GetFileInfo();
    if (file.Duration > 0) facts.Duration = file.Duration;
    TVideoStreamInfo video;
    if (decoder.DefaultVideoStream() < 0 || !decoder.GetVideoStreamInfo(-1, video)) return true;
    facts.HasVideo = true;
    if (decoder.VideoStreamCount() > 1) facts.VideoStream = decoder.DefaultVideoStream();
    facts.Width = std::max(video.ShownWidth, 0);
    facts.Height = std::max(video.ShownHeight, 0);
    facts.SquarePixels =
        video.ShownWidth == video.UprightWidth && video.ShownHeight == video.UprightHeight;
    if (facts.Width > 0 && facts.Height > 0)
        facts.AspectRatio = static_cast<double>(facts.Width) / facts.Height;
    if (video.FrameRateNum > 0 && video.FrameRateDen > 0)
        facts.FrameRate = static_cast<double>(video.FrameRateNum) / video.FrameRateDen;
    return true;
}

TTaskOptionTexts BuildTaskOptions(const TConvertSettings& settings, const TClipFacts& facts) {
    TTaskOptionTexts texts;
    const bool hasStart = settings.Start != TConvertSettings::kUnsetTime && settings.Start > 0;
    const bool hasEnd = settings.End != TConvertSettings::kUnsetTime;
    const int64_t start = hasStart ? settings.Start : 0;

    // The seek stands alone: a start without an end cuts nothing off the clip's end.
    TClipCut seek;
    seek.Checked = hasStart;
    seek.StartTime = start;
    seek.EndTime = hasEnd ? settings.End : INT64_MAX;
    texts.Input = BuildInputOptionsText(seek);

    TOutputChoice choice;
    choice.HasVideo = facts.HasVideo;
    choice.VideoStream = facts.VideoStream;
    choice.ClipFrameRate = facts.FrameRate;
    choice.FrameRate = settings.FrameRate;
    choice.VariableFrameRate = settings.Timing.Enabled;
    choice.RedFirst = settings.Colors == TFrameColors::Fitted;
    if (hasEnd) {
        choice.Cut.Checked = true;
        choice.Cut.StartTime = start;
        choice.Cut.EndTime = settings.End;
    }
    texts.Width = settings.Size.Width;
    texts.Height = settings.Size.Height;
    if (settings.AspectWidth > 0) {
        texts.Width = settings.AspectWidth;
        texts.Height = HeightForWidth(settings.AspectWidth, facts);
    } else if (texts.Width <= 0 && !facts.SquarePixels) {
        // GIF pixels are square: the clip's own size is the size it is shown at
        texts.Width = facts.Width;
        texts.Height = facts.Height;
    }
    if (texts.Width > 0 && texts.Height > 0)
        choice.FrameSize = std::to_string(texts.Width) + "x" + std::to_string(texts.Height);
    texts.Output = BuildOutputOptionsText(choice);

    // The piece converted ends with the clip at the latest.
    if (facts.Duration > 0) texts.Length = std::max<int64_t>(facts.Duration - start, 0);
    if (hasEnd && (facts.Duration <= 0 || settings.End < facts.Duration))
        texts.Length = settings.End - start;
    return texts;
}
