// TFFDecoder: seeking and stepping backward.
#include <algorithm>
#include <cinttypes>

#include "engine/decoder/FFDecode.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"

int64_t TFFDecoder::IOPosition() {
    AVIOContext* io = FormatContext()->pb;
    return io != nullptr ? libav::avio_seek(io, 0, SEEK_CUR) : -1;
}

bool TFFDecoder::Seek(int flags, int64_t position) {
    if (!RequireFile()) return false;
    CheckSeekable();
    if (IsStillPicture()) {
        RecordErrorF(AV_LOG_INFO, "\"%s\" format cannot to be seeked.",
                     FormatContext()->iformat->name);
        return false;
    }
    if (FormatContext()->pb != nullptr) {
        LogF(AV_LOG_DEBUG, "current position %" PRId64 " bytes", IOPosition());
    }
    const int64_t target = StreamTarget(flags, position);
    if (videoCodec_ != nullptr) libav::avcodec_flush_buffers(videoCodec_);
    eof_ = flushing_ = false;
    lastReadError_ = 0;
    ResetPictureState();
    if (!SeekFile((flags & AVSEEK_FLAG_BYTE) != 0 ? -1 : selectedStream_, target, flags)) {
        if ((flags & AVSEEK_FLAG_BYTE) != 0) {
            RecordErrorF(AV_LOG_ERROR, "could not seek to position %" PRId64 " bytes", position);
        } else {
            RecordErrorF(AV_LOG_ERROR, "could not seek to position %0.3f seconds",
                         position / 1000000.0);
        }
        return false;
    }
    if ((flags & (AVSEEK_FLAG_BYTE | AVSEEK_FLAG_ANY)) == 0 && selectedStream_ >= 0) {
        SettleBefore(position, target, flags);
    }
    if (FormatContext()->pb != nullptr) {
        LogF(AV_LOG_DEBUG, "seek to position %" PRId64 " bytes", IOPosition());
    }
    return true;
}

// Formats without a key-frame index (MPEG transport streams, for one) seek to any packet before
// the target, and the codec then skips ahead to the next key frame, which may lie after the
// target. This decodes the first picture after the seek and, while it comes after `position`
// (microseconds), seeks further back, so that decoding forward passes every picture from the
// target on. The file is left positioned for decoding that picture.
void TFFDecoder::SettleBefore(int64_t position, int64_t target, int flags) {
    const std::string message = LastErrorMessage();
    const AVStream& stream = *FormatContext()->streams[selectedStream_];
    auto toStreamTime = [&](int64_t microseconds) {
        return libav::av_rescale_q(microseconds, AVRational{1, AV_TIME_BASE}, stream.time_base);
    };
    // A second before the start is before any picture that decodes first.
    const int64_t streamStart = stream.start_time != AV_NOPTS_VALUE ? stream.start_time : 0;
    const int64_t floor = streamStart - toStreamTime(AV_TIME_BASE);
    int64_t candidate = target;
    int64_t stepBack = std::max<int64_t>(FrameDurationUs(), AV_TIME_BASE / 2);
    for (int attempt = 0; attempt < kMaxSettleAttempts; ++attempt) {
        const bool decoded = DecodeNextFrame(selectedStream_);
        if (decoded && (frameTime_ == kNoTime || frameTime_ <= position)) break;
        if (candidate < floor) break;
        candidate = target - toStreamTime(stepBack);
        stepBack *= 2;
        RewindTo(candidate, flags);
    }
    RewindTo(candidate, flags);
    SetLastErrorMessage(message);
}

void TFFDecoder::RewindTo(int64_t target, int flags) {
    if (videoCodec_ != nullptr) libav::avcodec_flush_buffers(videoCodec_);
    eof_ = flushing_ = false;
    lastReadError_ = 0;
    ResetPictureState();
    SeekFile(selectedStream_, target, flags);
}

// The seek target in the units libavformat expects: bytes, the selected stream's time base
// from its start, or microseconds from the file's start.
int64_t TFFDecoder::StreamTarget(int flags, int64_t position) {
    if ((flags & AVSEEK_FLAG_BYTE) != 0) return position;
    if (position == 0 && selectedStream_ >= 0 && frameRateNum_ != 0 && frameRateDen_ != 0) {
        // Half a frame before the start, so that a first picture stamped slightly late is
        // still found.
        position = -FrameDurationUs() / 2;
    }
    if (selectedStream_ < 0) {
        const int64_t start = FormatContext()->start_time;
        return start != AV_NOPTS_VALUE ? position + start : position;
    }
    const AVStream& stream = *FormatContext()->streams[selectedStream_];
    int64_t target = libav::av_rescale_q(position, AVRational{1, AV_TIME_BASE}, stream.time_base);
    if (stream.start_time != AV_NOPTS_VALUE) target += stream.start_time;
    return target;
}

bool TFFDecoder::SeekFile(int streamIndex, int64_t target, int flags) {
    AVFormatContext* context = FormatContext();
    StartIOClock();
    // libavformat runs a ranged seek for every format (through the plain seek for formats
    // without their own); over an open range it lands at or before the target.
    int ret = libav::avformat_seek_file(context, streamIndex, INT64_MIN, target, INT64_MAX, flags);
    if (ret < 0) ret = libav::av_seek_frame(context, streamIndex, target, flags);
    if (ret < 0) {
        ret = libav::av_seek_frame(context, streamIndex, target, flags ^ AVSEEK_FLAG_BACKWARD);
    }
    StopIOClock();
    return ret >= 0;
}

// The time to step back from: the current picture's, else the one before it, else (when
// `useDuration`) the end of the file, else 0.
int64_t TFFDecoder::ReferenceTime(bool useDuration) {
    if (frameTime_ != kNoTime) return frameTime_;
    if (previousTime_ != kNoTime) return previousTime_;
    if (useDuration && FormatContext()->duration != AV_NOPTS_VALUE) {
        return FormatContext()->duration;
    }
    return 0;
}

bool TFFDecoder::SeekToPreviousKeyFrame(int streamIndex) {
    const int index = SelectVideoStream(streamIndex);
    if (index < 0) return false;
    const int64_t reference = ReferenceTime(true);
    const int64_t frameDuration = FrameDurationUs();
    const int64_t startPosition = IOPosition();
    int64_t lastPosition = startPosition;
    for (int64_t step = 1;; ++step) {
        const bool pastStart = reference < step * frameDuration;
        // Going further back than two frames before the start finds nothing new.
        const bool exhausted = reference + 2 * frameDuration < step * frameDuration;
        const bool sought = Seek(AVSEEK_FLAG_BACKWARD, reference - step * frameDuration);
        const int64_t position = IOPosition();
        const bool movedBack = position < startPosition;
        const bool moved = position != lastPosition;
        lastPosition = position;
        if (sought && !movedBack && moved && !pastStart) continue;
        if (DecodeNextFrame(index)) {
            const int64_t time = frameTime_;
            if (time < reference || time <= 0 || (time == reference && pastStart)) return true;
            if (exhausted) break;
        } else if (pastStart || EndOfFile() || exhausted) {
            break;
        }
    }
    SetLastErrorMessage("Could not seek to the previous key-frame. " + LastErrorMessage());
    return false;
}

namespace {

// Pictures without a time count as coming before any time.
bool IsBefore(int64_t time, int64_t reference) { return time == kNoTime || time < reference; }

}  // namespace

// Goes back to the key frame before the current picture, decodes forward to find the last
// picture before the current one, then goes back to the key frame again and decodes up to that
// picture. Finding it by time rather than by a frame duration keeps stepping right when pictures
// are not evenly spaced (variable frame rates, rounded or missing times).
bool TFFDecoder::DecodePreviousFrame(int streamIndex) {
    const int index = SelectVideoStream(streamIndex);
    if (index < 0) return false;
    const int64_t reference = ReferenceTime(false);
    if (!SeekToPreviousKeyFrame(index)) return false;
    // Nothing before the reference: the first picture shows itself again.
    if (!IsBefore(frameTime_, reference)) return true;
    int64_t previousTime = frameTime_;
    int picturesBefore = 1;
    for (;;) {
        if (!DecodeNextFrame(index)) {
            // The stream ended before the reference came back: its last picture is the one.
            return EndOfFile() && pictureReady_;
        }
        if (!IsBefore(frameTime_, reference)) break;
        previousTime = frameTime_;
        ++picturesBefore;
    }
    if (!SeekToPreviousKeyFrame(index)) return false;
    if (previousTime != kNoTime) {
        while (frameTime_ == kNoTime || frameTime_ < previousTime) {
            if (!DecodeNextFrame(index)) return false;
        }
        return true;
    }
    for (int i = 1; i < picturesBefore; ++i) {
        if (!DecodeNextFrame(index)) return false;
    }
    return true;
}
