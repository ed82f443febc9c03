// TFFDecoder: stream selection, the video codec, decoding forward and the current picture.
#include <algorithm>
#include <cinttypes>

#include "engine/core/FFUtils.h"
#include "engine/core/FFmpegException.h"
#include "engine/decoder/FFDecode.h"
#include "engine/decoder/FFDecodeDeinterlace.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/frames/BitmapTurn.h"
#include "engine/loader/FFLockManager.h"
#include "platform/Bitmap.h"

namespace {

int OpenCodecSerialized(AVCodecContext* context, const AVCodec* codec) {
    TCodecLock codecLock;
    return libav::avcodec_open2(context, codec, nullptr);
}

void CloseCodecSerialized(AVCodecContext** context) {
    TCodecLock codecLock;
    libav::avcodec_free_context(context);
}

}  // namespace

TFFDecoder::TFFDecoder() = default;

TFFDecoder::~TFFDecoder() {
    if (DecoderLibsLoaded()) {
        TFFDecoder::Close();
        libav::av_frame_free(&picture_);
        libav::av_frame_free(&decoded_);
        libav::av_frame_free(&deinterlaced_);
        libav::av_packet_free(&packet_);
    }
}

void TFFDecoder::Close() {
    selectedStream_ = -1;
    frameRateNum_ = frameRateDen_ = 0;
    turn_ = TPictureTurn();
    eof_ = flushing_ = false;
    lastReadError_ = 0;
    ResetPictureState();
    audio_ = TAudioDefaults();
    if (deinterlaced_ != nullptr) libav::av_frame_unref(deinterlaced_);
    CloseVideoCodec();
    TCustomDecoder::Close();
}

void TFFDecoder::ApplyScalerFlags(int64_t flags) {
    converter_.SetScalerFlags(static_cast<int>(flags));
}

int64_t TFFDecoder::FrameDurationUs() const {
    return FrameDuration(AVRational{frameRateNum_, frameRateDen_});
}

void TFFDecoder::ResetPictureState() {
    pictureReady_ = false;
    pictureStored_ = false;
    pixelFormat_ = -1;
    width_ = height_ = 0;
    keyFrame_ = false;
    pictureType_ = 0;
    frameTime_ = kNoTime;
    packetDTS_ = packetPTS_ = kNoTime;
    packetStream_ = -1;
    packetPosition_ = -1;
    currentTimestamp_ = previousTimestamp_ = kNoTime;
    previousTime_ = kNoTime;
    if (picture_ != nullptr) libav::av_frame_unref(picture_);
}

bool TFFDecoder::CheckSeekable() {
    if (!OwnsContext()) {
        RecordError(AV_LOG_ERROR, "file cannot be seeked, handle is readonly.");
        throw FFmpegException(LastErrorMessage());
    }
    return true;
}

bool TFFDecoder::IsStillPicture() {
    const AVInputFormat* format = FormatContext()->iformat;
    return format != nullptr && IsStillPictureFormat(format->name);
}

int TFFDecoder::ResolveStreamIndex(int streamIndex) {
    if (streamIndex >= 0) return streamIndex;
    if (selectedStream_ >= 0) return selectedStream_;
    if (DefaultVideoStream() < 0) {
        RecordError(AV_LOG_ERROR, "no video stream.");
        return -1;
    }
    return DefaultVideoStream();
}

int TFFDecoder::SelectVideoStream(int streamIndex) {
    if (!RequireFile()) return -1;
    CheckSeekable();
    const int index = ResolveStreamIndex(streamIndex);
    if (index < 0) return -1;
    if (index >= StreamCount()) {
        RecordErrorF(AV_LOG_ERROR, "stream index #%d is invalid.", index);
        return -1;
    }
    if (!IsVideoStream(index)) {
        RecordErrorF(AV_LOG_ERROR, "stream #%d is not video stream.", index);
        return -1;
    }
    if (index != selectedStream_) {
        ResetPictureState();
        eof_ = flushing_ = false;
        selectedStream_ = index;
        TakeFrameRate(index);
        turn_ = PictureTurnOf(*FormatContext()->streams[index]);
    }
    return index;
}

void TFFDecoder::TakeFrameRate(int streamIndex) {
    const AVStream& stream = *FormatContext()->streams[streamIndex];
    if (stream.avg_frame_rate.num != 0 && stream.avg_frame_rate.den != 0) {
        frameRateNum_ = stream.avg_frame_rate.num;
        frameRateDen_ = stream.avg_frame_rate.den;
        return;
    }
    const AVRational codecTimeBase = videoCodec_ != nullptr && videoStream_ == streamIndex
                                         ? videoCodec_->time_base
                                         : AVRational{0, 1};
    const int ticks =
        videoCodec_ != nullptr && videoStream_ == streamIndex ? videoCodec_->ticks_per_frame : 1;
    const AVRational real = stream.r_frame_rate;
    if (codecTimeBase.num != 0 && codecTimeBase.num == real.den &&
        codecTimeBase.den == ticks * real.num) {
        // One frame lasts ticks_per_frame codec ticks.
        frameRateNum_ = codecTimeBase.den;
        frameRateDen_ = codecTimeBase.num * ticks;
        return;
    }
    LogF(AV_LOG_INFO,
         "Seems stream %d codec frame rate differs from container frame rate: %2.2f (%d/%d) -> "
         "%2.2f (%d/%d)",
         streamIndex, codecTimeBase.num != 0 ? av_q2d(av_inv_q(codecTimeBase)) : 0.0,
         codecTimeBase.den, codecTimeBase.num, real.den != 0 ? av_q2d(real) : 0.0, real.num,
         real.den);
    frameRateNum_ = real.num;
    frameRateDen_ = real.den;
}

bool TFFDecoder::OpenVideoCodec(int streamIndex) {
    if (videoCodec_ != nullptr && videoStream_ == streamIndex) return true;
    CloseVideoCodec();
    const AVStream& stream = *FormatContext()->streams[streamIndex];
    const AVCodecParameters& parameters = *stream.codecpar;
    if (parameters.width == 0 || parameters.height == 0) {
        RecordError(AV_LOG_ERROR, "frame size of codec is invalid.");
        return false;
    }
    const AVCodec* codec = libav::avcodec_find_decoder(parameters.codec_id);
    if (codec == nullptr) {
        RecordErrorF(AV_LOG_ERROR, "Unsupported codec (id=%d) for input file stream #%d",
                     static_cast<int>(parameters.codec_id), streamIndex);
        return false;
    }
    AVCodecContext* context = libav::avcodec_alloc_context3(codec);
    bool opened =
        context != nullptr && libav::avcodec_parameters_to_context(context, &parameters) >= 0;
    if (opened) {
        context->pkt_timebase = stream.time_base;
        opened = OpenCodecSerialized(context, codec) >= 0;
    }
    if (!opened) {
        libav::avcodec_free_context(&context);
        RecordErrorF(AV_LOG_ERROR, "Error while opening codec for input file stream #%d",
                     streamIndex);
        return false;
    }
    videoCodec_ = context;
    videoStream_ = streamIndex;
    return true;
}

void TFFDecoder::CloseVideoCodec() {
    if (videoCodec_ != nullptr) CloseCodecSerialized(&videoCodec_);
    videoStream_ = -1;
}

bool TFFDecoder::DecodeNextFrame(int streamIndex) {
    const int index = SelectVideoStream(streamIndex);
    if (index < 0) return false;
    if (pictureReady_ && IsStillPicture()) return true;
    if (eof_ && flushing_) {
        RecordError(AV_LOG_INFO, "stream eof reached.");
        return false;
    }
    if (!OpenVideoCodec(index)) return false;
    if (decoded_ == nullptr) decoded_ = libav::av_frame_alloc();
    if (packet_ == nullptr) packet_ = libav::av_packet_alloc();
    if (decoded_ == nullptr || packet_ == nullptr) {
        RecordError(AV_LOG_ERROR, ErrorText(FileName(), AVERROR(ENOMEM)));
        return false;
    }
    for (;;) {
        if (ReceivePicture(index)) return true;
        if (flushing_) break;
        if (!FeedNextPacket(index)) {
            if (lastReadError_ == AVERROR(EAGAIN)) return false;
        }
    }
    return FinishAtEndOfStream();
}

// Takes a picture the codec has ready. False when it needs more input or is drained.
bool TFFDecoder::ReceivePicture(int streamIndex) {
    const int ret = libav::avcodec_receive_frame(videoCodec_, decoded_);
    if (ret < 0) return false;
    LogF(AV_LOG_DEBUG,
         "pkt.st_idx=%d, dts=%" PRId64 ", pts=%" PRId64 ", flags=%d, pict_type=%d(%s)", streamIndex,
         decoded_->pkt_dts, decoded_->pts, decoded_->flags, static_cast<int>(decoded_->pict_type),
         PictureTypeName(decoded_->pict_type).c_str());
    if (deinterlace_) DeinterlacePicture();
    StorePicture(streamIndex);
    return true;
}

// Reads one packet and hands it to the codec when it belongs to the stream; at the end of the
// input the codec is told to drain. False when the read failed.
bool TFFDecoder::FeedNextPacket(int streamIndex) {
    StartIOClock();
    const int ret = libav::av_read_frame(FormatContext(), packet_);
    StopIOClock();
    if (ret == AVERROR(EAGAIN)) {
        lastReadError_ = ret;
        RecordError(AV_LOG_INFO, "no data, please try again.");
        return false;
    }
    if (ret < 0) {
        lastReadError_ = ret;
        flushing_ = true;
        libav::avcodec_send_packet(videoCodec_, nullptr);
        return false;
    }
    if (packet_->stream_index == streamIndex) {
        const int sent = libav::avcodec_send_packet(videoCodec_, packet_);
        if (sent < 0 && sent != AVERROR(EAGAIN)) {
            LogF(AV_LOG_DEBUG, "%s", ErrorText("decoding", sent).c_str());
        }
    }
    libav::av_packet_unref(packet_);
    return true;
}

bool TFFDecoder::FinishAtEndOfStream() {
    AVIOContext* io = FormatContext()->pb;
    const bool atEnd = io != nullptr && io->eof_reached != 0;
    if (lastReadError_ != AVERROR_EOF && lastReadError_ != AVERROR(EPIPE) && !atEnd) {
        RecordErrorF(AV_LOG_INFO, "unknown error #%d.", lastReadError_);
        return false;
    }
    RecordError(AV_LOG_INFO, "stream eof reached.");
    eof_ = true;
    return false;
}

void TFFDecoder::StorePicture(int streamIndex) {
    const AVStream& stream = *FormatContext()->streams[streamIndex];
    pixelFormat_ = decoded_->format;
    width_ = decoded_->width;
    height_ = decoded_->height;
    keyFrame_ = decoded_->key_frame != 0;
    pictureType_ = decoded_->pict_type;
    const int64_t timestamp = ChoosePictureTimestamp();
    if (currentTimestamp_ != kNoTime) previousTimestamp_ = currentTimestamp_;
    if (frameTime_ != kNoTime) previousTime_ = frameTime_;
    currentTimestamp_ = timestamp;
    frameTime_ = kNoTime;
    if (timestamp != kNoTime) {
        const int64_t start = stream.start_time != AV_NOPTS_VALUE ? stream.start_time : 0;
        frameTime_ =
            libav::av_rescale_q(timestamp - start, stream.time_base, AVRational{1, AV_TIME_BASE});
        LogF(AV_LOG_DEBUG, "decode PTS: %0.3f", frameTime_ / 1000000.0);
    }
    packetDTS_ = decoded_->pkt_dts;
    packetPTS_ = decoded_->pts;
    packetStream_ = streamIndex;
    packetPosition_ = decoded_->pkt_pos;
    if (picture_ == nullptr) picture_ = libav::av_frame_alloc();
    libav::av_frame_unref(picture_);
    libav::av_frame_move_ref(picture_, decoded_);
    pictureStored_ = true;
    pictureReady_ = true;
}

// The picture's own presentation time (libavcodec's best estimate, which falls back to the
// decode time); without any, the time extrapolated from the two pictures before.
int64_t TFFDecoder::ChoosePictureTimestamp() const {
    if (decoded_->best_effort_timestamp != AV_NOPTS_VALUE) return decoded_->best_effort_timestamp;
    if (decoded_->pts != AV_NOPTS_VALUE) return decoded_->pts;
    if (decoded_->pkt_dts != AV_NOPTS_VALUE) return decoded_->pkt_dts;
    if (pictureStored_ && currentTimestamp_ != kNoTime && previousTimestamp_ != kNoTime) {
        return currentTimestamp_ + (currentTimestamp_ - previousTimestamp_);
    }
    return kNoTime;
}

// Deinterlaces the decoded picture into the decoder's own buffer, which is kept from picture to
// picture and made anew only when the format or size changes.
void TFFDecoder::DeinterlacePicture() {
    if (deinterlaced_ == nullptr) deinterlaced_ = libav::av_frame_alloc();
    if (deinterlaced_ == nullptr || !ReserveDeinterlaceBuffer()) {
        LogF(AV_LOG_ERROR, "deinterlace buffer malloc error.");
        deinterlace_ = false;
        return;
    }
    if (!DeinterlaceFrame(*decoded_, *deinterlaced_)) {
        LogF(AV_LOG_ERROR, "deinterlacing failed.");
        deinterlace_ = false;
        return;
    }
    libav::av_frame_copy_props(deinterlaced_, decoded_);
    libav::av_frame_unref(decoded_);
    libav::av_frame_ref(decoded_, deinterlaced_);
}

bool TFFDecoder::ReserveDeinterlaceBuffer() {
    if (deinterlaced_->data[0] != nullptr && deinterlaced_->format == decoded_->format &&
        deinterlaced_->width == decoded_->width && deinterlaced_->height == decoded_->height) {
        return true;
    }
    libav::av_frame_unref(deinterlaced_);
    deinterlaced_->format = decoded_->format;
    deinterlaced_->width = decoded_->width;
    deinterlaced_->height = decoded_->height;
    return libav::av_frame_get_buffer(deinterlaced_, 0) >= 0;
}

bool TFFDecoder::CopyFrameToBitmap(TBitmap& bitmap) {
    if (!pictureReady_) {
        RecordError(AV_LOG_ERROR, "picture not ready, please decode first");
        return false;
    }
    TPicture picture{};
    for (int plane = 0; plane < 4; ++plane) {
        picture.data[plane] = picture_->data[plane];
        picture.linesize[plane] = picture_->linesize[plane];
    }
    if (converter_.ToBitmap(picture, static_cast<AVPixelFormat>(pixelFormat_), true, height_,
                            width_)) {
        TurnBitmap(converter_.Bitmap(), turn_, bitmap);
        return true;
    }
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(turn_.SwapsSides() ? height_ : width_, turn_.SwapsSides() ? width_ : height_);
    for (int y = 0; y < height_; ++y) {
        std::fill_n(bitmap.ScanLine(y), bitmap.RowBytes(), 0);
    }
    RecordError(AV_LOG_ERROR, converter_.LastError());
    return false;
}
