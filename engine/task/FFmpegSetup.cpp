// Set-up of a conversion: every output stream's parameters from its source, the packet
// buffers, the encoders and decoders, the programs to read, the output headers and the stream
// mapping. Every codec opened here is put on the task's opened lists, so that it is closed
// exactly once whatever fails later.
//
// What fails in preparing the streams is worded for the user where it fails (FailStep). What
// fails in opening the codecs and writing the headers is told in the log, after the stream
// mapping, and worded by the conversion ("transcode_init() error"), apart from the checks of
// FFmpegCodecChecks.h refusing a codec, which word their failure and end the set-up at once.
#include "engine/task/FFmpegSetup.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <exception>
#include <string>

#include "engine/core/ErrorCodes.h"
#include "engine/core/FFUtils.h"
#include "engine/core/TextFormat.h"
#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avformat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/loader/FFLockManager.h"
#include "engine/output/FrameOutputFormats.h"
#include "engine/task/FFmpegCodecChecks.h"
#include "engine/task/FFmpegFrameBufferPool.h"
#include "engine/task/FFmpegMappingReport.h"
#include "engine/task/FFmpegSetupStreams.h"
#include "engine/task/FFmpegStepFailure.h"
#include "engine/task/FFmpegStreamLinks.h"
#include "engine/task/FFmpegTask.h"

namespace {

void StartRateEmulation(TCustomFFmpeg& task) {
    for (const TInputFile& file : task.InputFiles) {
        if (!file.RateEmu) continue;
        for (int j = 0; j < file.NbStreams; j++)
            task.InputStreams[file.IstIndex + j].Start = libav::av_gettime_relative();
    }
}

int CheckOutputsHaveStreams(TCustomFFmpeg& task) {
    for (size_t i = 0; i < task.OutputFiles.size(); i++) {
        const TOutputFile& of = task.OutputFiles[i];
        if (of.SharesMuxer || of.Ctx->nb_streams > 0 || (of.Ctx->oformat->flags & AVFMT_NOSTREAMS))
            continue;
        libav::av_dump_format(of.Ctx, static_cast<int>(i), of.Ctx->url, 1);
        const std::string message =
            StrFormat("Output file #%d does not contain any stream", static_cast<int>(i));
        task.Log(llError, message);
        return FailStep(task, kErrorInvalidArgument, message);
    }
    return 0;
}

void GrowVideoPacketBuffer(TCustomFFmpeg& task, const TOutputStream& ost) {
    const AVCodecParameters* par = ost.St->codecpar;
    const AVCodecContext* enc = ost.EncoderContext;
    if (enc->codec_type != AVMEDIA_TYPE_VIDEO) return;
    const int width = ost.StreamCopy ? par->width : enc->width;
    const int height = ost.StreamCopy ? par->height : enc->height;
    const int64_t size = static_cast<int64_t>(width) * height * 9 + 10000;
    if (size > task.Run.VideoPacketBufferSize && size < INT_MAX - AV_INPUT_BUFFER_PADDING_SIZE)
        task.Run.VideoPacketBufferSize = static_cast<int>(size);
}

// The pool of packet buffers, after one buffer of the largest size to be sure there is room.
int AllocateVideoPacketBuffer(TCustomFFmpeg& task) {
    TTaskRunState& run = task.Run;
    void* largest = libav::av_malloc(run.VideoPacketBufferSize + AV_INPUT_BUFFER_PADDING_SIZE);
    if (!largest)
        return FailStep(
            task, kErrorOutOfMemory,
            StrFormat("Cannot allocate %d bytes output buffer", run.VideoPacketBufferSize));
    libav::av_free(largest);
    run.VideoPacketBuffer = std::make_unique<TPacketBufferPool>(run.VideoPacketBufferSize);
    return 0;
}

// `threads`: the codec's threads unless the options name them; 0 lets the codec library choose.
int OpenCodec(AVCodecContext* context, const AVCodec* codec, AVDictionary** options,
              int threads = 0) {
    if (!libav::av_dict_get(*options, "threads", nullptr, 0))
        libav::av_dict_set(options, "threads",
                           threads > 0 ? std::to_string(threads).c_str() : "auto", 0);
    TCodecLock codecLock;
    return libav::avcodec_open2(context, codec, options);
}

// Direct-rendering video decoders decode into the stream's frame buffer pool.
void UseFrameBufferPool(TInputStream& ist) {
    if (!ist.FrameBufferPool) ist.FrameBufferPool = std::make_shared<TFrameBufferPool>();
    ist.FrameBufferPool->Attach(ist.DecoderContext);
}

// Opens the decoder of a decoding input stream. 0, or a failure: -22 with what failed in
// `error`, or one a codec check worded.
int OpenInputDecoder(TCustomFFmpeg& task, int istIndex, std::string& error) {
    TInputStream& ist = task.InputStreams[istIndex];
    if (ist.DecodingNeeded && !ist.DecoderOpened) {
        const int fileIndex = ist.FileIndex;
        if (!ist.Decoder) {
            error = StrFormat("Decoder (codec %s) not found for input stream #%d:%d",
                              libav::avcodec_get_name(ist.St->codecpar->codec_id), fileIndex,
                              ist.St->index);
            return kErrorInvalidArgument;
        }
        AVCodecContext* dec = ist.DecoderContext;
        ist.DirectRendering = (ist.Decoder->capabilities & AV_CODEC_CAP_DR1) != 0;
        if (ist.DirectRendering && ist.Decoder->type == AVMEDIA_TYPE_VIDEO) UseFrameBufferPool(ist);
        // packets reach the decoder with microsecond timestamps
        dec->pkt_timebase = AV_TIME_BASE_Q;
        int ret = CheckExperimentalCodec(task, dec, ist.Decoder, false, ist.DecoderOpts);
        if (ret < 0) return ret;
        const int threads = ist.Decoder->type == AVMEDIA_TYPE_VIDEO ? task.DecoderThreads : 0;
        if (OpenCodec(dec, ist.Decoder, &ist.DecoderOpts, threads) < 0) {
            error = StrFormat("Error while opening decoder for input stream #%d:%d", fileIndex,
                              ist.St->index);
            return kErrorInvalidArgument;
        }
        task.Run.OpenedDecoders.push_back(dec);
        ist.DecoderOpened = true;
        ret = CheckUnusedOptions(task, ist.DecoderOpts);
        if (ret < 0) return ret;
    }
    const AVRational rate = ist.St->avg_frame_rate;
    const int delay = ist.DecoderContext ? ist.DecoderContext->has_b_frames : 0;
    ist.Pts = rate.num && rate.den
                  ? -llround(static_cast<double>(delay) * AV_TIME_BASE / av_q2d(rate))
                  : 0;
    ist.NextPts = AV_NOPTS_VALUE;
    ist.LastDts = ist.NextDts = AV_NOPTS_VALUE;
    ist.IsStart = true;
    return 0;
}

int CopySubtitleHeader(TCustomFFmpeg& task, TOutputStream& ost, std::string& error) {
    if (ost.SourceIndex < 0) return 0;
    TInputStream& ist = SourceOf(task, ost);
    if (ist.St->codecpar->codec_type == AVMEDIA_TYPE_SUBTITLE && !ist.DecoderOpened) {
        // the subtitle header comes from the opened decoder
        const int ret = OpenInputDecoder(task, ost.SourceIndex, error);
        if (ret < 0) return ret;
    }
    const AVCodecContext* dec = ist.DecoderContext;
    if (!dec || !dec->subtitle_header) return 0;
    AVCodecContext* enc = ost.EncoderContext;
    enc->subtitle_header = static_cast<uint8_t*>(libav::av_mallocz(dec->subtitle_header_size + 1));
    if (!enc->subtitle_header) {
        error = "av_malloc failed";
        return kErrorOutOfMemory;
    }
    std::memcpy(enc->subtitle_header, dec->subtitle_header, dec->subtitle_header_size);
    enc->subtitle_header_size = dec->subtitle_header_size;
    return 0;
}

// The muxer stream takes the opened encoder's parameters.
void DescribeEncodedStream(TOutputStream& ost) {
    AVCodecContext* enc = ost.EncoderContext;
    libav::avcodec_parameters_from_context(ost.St->codecpar, enc);
    ost.St->time_base = enc->time_base;
    if (enc->codec_type == AVMEDIA_TYPE_VIDEO) ost.St->avg_frame_rate = ost.FrameRate;
}

int OpenEncoder(TCustomFFmpeg& task, TOutputStream& ost, std::string& error) {
    AVCodecContext* enc = ost.EncoderContext;
    const char* typeName = nullptr;
    const std::string mediaType = MediaTypeName(enc->codec_type);
    typeName = mediaType.c_str();
    if (!ost.Enc) {
        error =
            StrFormat("Encoder (codec %s) not found for output stream #%d:%d (%s)",
                      libav::avcodec_get_name(enc->codec_id), ost.FileIndex, ost.Index, typeName);
        return kErrorInvalidArgument;
    }
    int ret = CopySubtitleHeader(task, ost, error);
    if (ret < 0) return ret;
    if ((ost.Enc->capabilities & AV_CODEC_CAP_DR1) && enc->codec_type == AVMEDIA_TYPE_VIDEO)
        task.Run.VideoPacketBuffer->Attach(enc);
    ret = CheckExperimentalCodec(task, enc, ost.Enc, true, ost.Opts);
    if (ret < 0) return ret;
    // Raw video is coded by copying the frame: threads would only hand frames to and fro.
    const int threads = ost.Enc->id == AV_CODEC_ID_RAWVIDEO ? 1 : 0;
    if (OpenCodec(enc, ost.Enc, &ost.Opts, threads) < 0) {
        error = StrFormat(
            "Error while opening encoder for output stream #%d:%d (%s) - maybe incorrect "
            "parameters such as bit_rate, rate, width or height. Please check error log "
            "message(reported by FFLogger) to find out more detail information.",
            ost.FileIndex, ost.Index, typeName);
        return kErrorInvalidArgument;
    }
    task.Run.OpenedEncoders.push_back(enc);
    ret = CheckUnusedOptions(task, ost.Opts);
    if (ret < 0) return ret;
    if (enc->bit_rate && enc->bit_rate < 1000)
        task.Log(llWarning,
                 "The bitrate parameter is set too low. It takes bits/s as argument, not kbits/s");
    task.Run.ExtraSize += enc->extradata_size;
    DescribeEncodedStream(ost);
    return 0;
}

int OpenEncoders(TCustomFFmpeg& task, std::string& error) {
    const int count = task.JoinMode ? task.Run.StreamsPerInput : OutputStreamCount(task);
    for (int i = 0; i < count; i++) {
        TOutputStream& ost = task.OutputStreams[i];
        if (!ost.EncodingNeeded) continue;
        const int ret = OpenEncoder(task, ost, error);
        if (ret < 0) return ret;
    }
    return 0;
}

const char* CodecNameOf(const TOutputStream& ost) {
    return ost.StreamCopy ? "copy" : ost.Enc ? ost.Enc->name : "?";
}

// The option layer made the stream's bitstream filters; they learn the stream's parameters
// here, and the muxer stream takes what the last one gives.
int InitBitstreamFilters(TCustomFFmpeg& task, std::string& error) {
    for (TOutputStream& ost : task.OutputStreams) {
        if (ost.BitstreamFilters.empty()) continue;
        const AVCodecParameters* in = ost.St->codecpar;
        AVRational timeBase = ost.St->time_base;
        for (AVBSFContext* bsf : ost.BitstreamFilters) {
            int ret = libav::avcodec_parameters_copy(bsf->par_in, in);
            if (ret >= 0) {
                bsf->time_base_in = timeBase;
                ret = libav::av_bsf_init(bsf);
            }
            if (ret < 0) {
                error = ErrorText(StrFormat("Failed to open bitstream filter %s for stream %d with "
                                            "codec %s",
                                            bsf->filter->name, ost.St->index, CodecNameOf(ost)),
                                  ret);
                return kErrorInvalidArgument;
            }
            in = bsf->par_out;
            timeBase = bsf->time_base_out;
        }
        libav::avcodec_parameters_copy(ost.St->codecpar, in);
        ost.St->time_base = timeBase;
        for (size_t i = 0; i < ost.BitstreamFilters.size(); i++)
            ost.FilteredPackets.push_back(libav::av_packet_alloc());
    }
    return 0;
}

int OpenDecoders(TCustomFFmpeg& task, std::string& error) {
    for (size_t i = 0; i < task.InputStreams.size(); i++) {
        const int ret = OpenInputDecoder(task, static_cast<int>(i), error);
        if (ret < 0) return ret;
    }
    return 0;
}

// A program is read only when one of its streams is used.
void DiscardUnusedPrograms(TCustomFFmpeg& task) {
    for (const TInputFile& file : task.InputFiles) {
        AVFormatContext* ic = file.Ctx;
        for (unsigned p = 0; p < ic->nb_programs; p++) {
            AVProgram* program = ic->programs[p];
            program->discard = AVDISCARD_ALL;
            for (unsigned k = 0; k < program->nb_stream_indexes; k++) {
                const unsigned index = program->stream_index[k];
                if (index < static_cast<unsigned>(file.NbStreams) &&
                    !task.InputStreams[file.IstIndex + index].Discard) {
                    program->discard = AVDISCARD_DEFAULT;
                    break;
                }
            }
        }
    }
}

int WriteHeaders(TCustomFFmpeg& task, std::string& error, std::exception_ptr& handlerError) {
    const size_t count = task.JoinMode ? 1 : task.OutputFiles.size();
    for (size_t i = 0; i < count; i++) {
        TOutputFile& of = task.OutputFiles[i];
        AVFormatContext* oc = of.Ctx;
        oc->interrupt_callback = task.OutputInterruptCallback();
        task.Run.OutputIOStart.Start();
        if (libav::avformat_write_header(oc, &of.Opts) < 0) {
            try {
                RaiseFrameOutputError(oc);
            } catch (...) {
                handlerError = std::current_exception();
            }
            error = StrFormat(
                "Could not write header for output file #%d (incorrect codec "
                "parameters ?)",
                static_cast<int>(i));
            return kErrorInvalidArgument;
        }
        if (std::strcmp(oc->oformat->name, "rtp") != 0) task.Run.PrintSdp = false;
    }
    return 0;
}

int PrintSdp(TCustomFFmpeg& task) {
    std::vector<AVFormatContext*> contexts;
    for (const TOutputFile& of : task.OutputFiles)
        if (!of.SharesMuxer) contexts.push_back(of.Ctx);
    std::string sdp;
    try {
        sdp.assign(2048, '\0');
    } catch (const std::bad_alloc&) {
        return FailStepFatal(task, kErrorOutOfMemory, "av_malloc failed");
    }
    libav::av_sdp_create(contexts.data(), static_cast<int>(contexts.size()), sdp.data(),
                         static_cast<int>(sdp.size()));
    sdp.resize(std::strlen(sdp.c_str()));
    task.Log(llInfo, "SDP:\r\n" + Trim(sdp));
    return 0;
}

// Opens the encoders and decoders and writes the headers. A failure leaves what failed in
// `error`, for the log, and an output event handler's own error in `handlerError`; a codec check
// that refused a codec worded its failure and leaves both empty.
int OpenCodecsAndHeaders(TCustomFFmpeg& task, std::string& error,
                         std::exception_ptr& handlerError) {
    int ret = OpenEncoders(task, error);
    if (ret >= 0) ret = InitBitstreamFilters(task, error);
    if (ret >= 0) ret = OpenDecoders(task, error);
    if (ret < 0) return ret;
    DiscardUnusedPrograms(task);
    return WriteHeaders(task, error, handlerError);
}

}  // namespace

void CloseCodec(std::vector<AVCodecContext*>& opened, AVCodecContext* context) {
    auto found = std::find(opened.begin(), opened.end(), context);
    if (found == opened.end()) return;
    opened.erase(found);
    TCodecLock codecLock;
    libav::avcodec_close(context);
}

int transcode_init(TCustomFFmpeg& task) {
    StartRateEmulation(task);
    int ret = CheckOutputsHaveStreams(task);
    if (ret < 0) return ret;
    for (int i = 0; i < OutputStreamCount(task); i++) {
        TOutputStream& ost = task.OutputStreams[i];
        ret = SetupOutputStream(task, ost, i);
        if (ret < 0) return ret;
        if (ost.JoinBase < 0) GrowVideoPacketBuffer(task, ost);
    }
    ret = AllocateVideoPacketBuffer(task);
    if (ret < 0) return ret;

    std::string error;
    std::exception_ptr handlerError;
    ret = OpenCodecsAndHeaders(task, error, handlerError);
    const bool checkRefused = ret < 0 && error.empty() && !handlerError;
    if (checkRefused) return ret;
    PrintStreamMapping(task);
    if (handlerError) std::rethrow_exception(handlerError);
    if (ret < 0) {
        task.Log(llError, error);
        return ret;
    }
    return task.Run.PrintSdp ? PrintSdp(task) : 0;
}
