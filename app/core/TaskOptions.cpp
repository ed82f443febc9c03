#include "app/core/TaskOptions.h"

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

// The clip's aspect ratio as shown, else that of its stored size; 0 when neither is known.
double AspectOf(const TClipFacts& facts) {
    if (facts.AspectRatio > 0) return facts.AspectRatio;
    if (facts.Width > 0 && facts.Height > 0) return static_cast<double>(facts.Width) / facts.Height;
    return 0;
}

int Side(double length) {
    return static_cast<int>(std::clamp<long>(std::lround(length), 1, kLargestSide));
}

// The height that keeps the clip's aspect ratio at `width`.
int HeightForWidth(int width, const TClipFacts& facts) {
    const double aspect = AspectOf(facts);
    return aspect > 0 ? Side(width / aspect) : width;
}

// The frame size the choices ask for: 0 x 0 for the clip's own.
TFrameSize ChosenSize(const TConversionChoices& choices, const TClipFacts& facts) {
    if (choices.AspectWidth > 0)
        return {choices.AspectWidth, HeightForWidth(choices.AspectWidth, facts)};
    if (choices.Size.Width <= 0 || choices.Size.Height <= 0) return {};
    if (choices.KeepAspect) return FitIntoBox(choices.Size, AspectOf(facts));
    return choices.Size;
}

}  // namespace

TFrameSize FitIntoBox(const TFrameSize& box, double aspect) {
    if (!(aspect > 0)) return box;
    if (box.Width >= box.Height * aspect) return {Side(box.Height * aspect), box.Height};
    return {box.Width, Side(box.Width / aspect)};
}

TClipFacts ClipFactsOf(TFFDecoder& decoder) {
    TClipFacts facts;
    const TFileInfo file = decoder.GetFileInfo();
    if (file.Duration > 0) facts.Duration = file.Duration;
    TVideoStreamInfo video;
    if (decoder.DefaultVideoStream() < 0 || !decoder.GetVideoStreamInfo(-1, video)) return facts;
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
    facts.KeyFrames = decoder.IndexedKeyFrames(-1);
    facts.Codec = video.CodecName;
    facts.BitRate = video.BitRate > 0 ? video.BitRate : std::max<int64_t>(file.BitRate, 0);
    return facts;
}

bool ReadClipFacts(TFFDecoder& decoder, const std::string& fileName, TClipFacts& facts,
                   std::string& error) {
    facts = TClipFacts();
    if (!decoder.LoadFile(fileName)) {
        error = decoder.LastErrorMessage();
        return false;
    }
    TCloseAtEnd close(decoder);
    facts = ClipFactsOf(decoder);
    return true;
}

TTaskOptionTexts BuildTaskOptions(const TConversionChoices& choices, const TClipFacts& facts) {
    TTaskOptionTexts texts;
    const bool hasStart = choices.Start != TConversionChoices::kUnsetTime && choices.Start > 0;
    const bool hasEnd = choices.End != TConversionChoices::kUnsetTime;
    const int64_t start = hasStart ? choices.Start : 0;

    // The seek stands alone: a start without an end cuts nothing off the clip's end.
    TClipCut seek;
    seek.Checked = hasStart;
    seek.StartTime = start;
    seek.EndTime = hasEnd ? choices.End : INT64_MAX;
    texts.Input = BuildInputOptionsText(seek);

    TOutputChoice choice;
    choice.HasVideo = facts.HasVideo;
    choice.VideoStream = facts.VideoStream;
    choice.ClipFrameRate = facts.FrameRate;
    choice.FrameRate = choices.FrameRate;
    choice.VariableFrameRate = choices.Timing.Enabled;
    choice.RedFirst = choices.Colors == TFrameColors::Fitted;
    if (hasEnd) {
        choice.Cut.Checked = true;
        choice.Cut.StartTime = start;
        choice.Cut.EndTime = choices.End;
    }
    TFrameSize size = ChosenSize(choices, facts);
    // GIF pixels are square: the clip's own size is the size it is shown at.
    if (size.Width <= 0 && !facts.SquarePixels) size = {facts.Width, facts.Height};
    texts.Width = size.Width;
    texts.Height = size.Height;
    if (size.Width > 0 && size.Height > 0)
        choice.FrameSize = std::to_string(size.Width) + "x" + std::to_string(size.Height);
    texts.Output = BuildOutputOptionsText(choice);

    // The piece converted ends with the clip at the latest.
    if (facts.Duration > 0) texts.Length = std::max<int64_t>(facts.Duration - start, 0);
    if (hasEnd && (facts.Duration <= 0 || choices.End < facts.Duration))
        texts.Length = choices.End - start;
    return texts;
}
