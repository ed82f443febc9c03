// The filter graph of an encoded video stream: the decoded pictures enter at "src", are turned
// upright as players show them (the stream's display matrix or rotate tag), are scaled to the
// encoder's size when it differs, pass the stream's -vf filters and leave at "out" in the
// encoder's pixel format.
#include "engine/task/FFmpegVideoGraph.h"

#include "engine/core/ErrorCodes.h"
#include "engine/core/ShownPicture.h"
#include "engine/core/TextFormat.h"
#include "engine/entrypoints/avfilter.h"
#include "engine/entrypoints/avutil.h"
#include "engine/task/FFmpegFileTables.h"

namespace {

int CreateFilter(AVFilterGraph* graph, AVFilterContext** filter, const char* type, const char* name,
                 const std::string& args) {
    const AVFilter* definition = libav::avfilter_get_by_name(type);
    if (!definition) return AVERROR_FILTER_NOT_FOUND;
    return libav::avfilter_graph_create_filter(
        filter, definition, name, args.empty() ? nullptr : args.c_str(), nullptr, graph);
}

// Parses the -vf text between the output pad of `last` and the sink.
int InsertFilterText(AVFilterGraph* graph, const std::string& text, AVFilterContext* last,
                     AVFilterContext* sink) {
    AVFilterInOut* outputs = libav::avfilter_inout_alloc();
    AVFilterInOut* inputs = libav::avfilter_inout_alloc();
    int ret = kErrorOutOfMemory;
    if (outputs && inputs) {
        outputs->name = libav::av_strdup("in");
        outputs->filter_ctx = last;
        outputs->pad_idx = 0;
        outputs->next = nullptr;
        inputs->name = libav::av_strdup("out");
        inputs->filter_ctx = sink;
        inputs->pad_idx = 0;
        inputs->next = nullptr;
        ret = libav::avfilter_graph_parse_ptr(graph, text.c_str(), &inputs, &outputs, nullptr);
    }
    libav::avfilter_inout_free(&inputs);
    libav::avfilter_inout_free(&outputs);
    return ret;
}

// Links the filters that turn the stream's pictures upright after `last`, which becomes the last
// of them.
int InsertTurn(AVFilterGraph* graph, const TPictureTurn& turn, AVFilterContext*& last) {
    for (const auto& [name, args] : TurnFilters(turn)) {
        AVFilterContext* filter = nullptr;
        int ret = CreateFilter(graph, &filter, name.c_str(), name.c_str(), args);
        if (ret < 0) return ret;
        ret = libav::avfilter_link(last, 0, filter, 0);
        if (ret < 0) return ret;
        last = filter;
    }
    return 0;
}

}  // namespace

int BuildVideoGraph(TInputStream& ist, TOutputStream& ost, int threads) {
    AVCodecContext* dec = ist.DecoderContext;
    AVCodecContext* enc = ost.EncoderContext;
    ost.Graph = libav::avfilter_graph_alloc();
    if (!ost.Graph) return kErrorOutOfMemory;
    AVFilterGraph* graph = ost.Graph;
    graph->nb_threads = threads;

    const AVRational sar =
        ist.St->sample_aspect_ratio.num ? ist.St->sample_aspect_ratio : dec->sample_aspect_ratio;
    const std::string sourceArgs = StrFormat(
        "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", dec->width, dec->height,
        static_cast<int>(dec->pix_fmt), 1, AV_TIME_BASE, sar.num, sar.den ? sar.den : 1);
    int ret = CreateFilter(graph, &ost.InputVideoFilter, "buffer", "src", sourceArgs);
    if (ret < 0) return ret;
    ret = CreateFilter(graph, &ost.OutputVideoFilter, "buffersink", "out", "");
    if (ret < 0) return ret;
    const AVPixelFormat sinkFormats[] = {enc->pix_fmt, AV_PIX_FMT_NONE};
    ret = libav::av_opt_set_bin(ost.OutputVideoFilter, "pix_fmts",
                                reinterpret_cast<const uint8_t*>(sinkFormats),
                                sizeof(sinkFormats[0]), AV_OPT_SEARCH_CHILDREN);
    if (ret < 0) return ret;

    AVFilterContext* last = ost.InputVideoFilter;
    const TPictureTurn turn = PictureTurnOf(*ist.St);
    ret = InsertTurn(graph, turn, last);
    if (ret < 0) return ret;
    const int width = turn.SwapsSides() ? dec->height : dec->width;
    const int height = turn.SwapsSides() ? dec->width : dec->height;
    if (enc->width != width || enc->height != height) {
        AVFilterContext* scale = nullptr;
        ret = CreateFilter(graph, &scale, "scale", "scale",
                           StrFormat("%d:%d:flags=0x%X", enc->width, enc->height,
                                     static_cast<unsigned>(ost.SwsFlags)));
        if (ret < 0) return ret;
        ret = libav::avfilter_link(last, 0, scale, 0);
        if (ret < 0) return ret;
        last = scale;
    }
    graph->scale_sws_opts =
        libav::av_strdup(StrFormat("flags=0x%X", static_cast<unsigned>(ost.SwsFlags)).c_str());

    if (!ost.AvFilter.empty()) {
        ret = InsertFilterText(graph, ost.AvFilter, last, ost.OutputVideoFilter);
        ost.AvFilter.clear();
    } else {
        ret = libav::avfilter_link(last, 0, ost.OutputVideoFilter, 0);
    }
    if (ret < 0) return ret;
    ret = libav::avfilter_graph_config(graph, nullptr);
    if (ret < 0) return ret;

    enc->width = libav::av_buffersink_get_w(ost.OutputVideoFilter);
    enc->height = libav::av_buffersink_get_h(ost.OutputVideoFilter);
    if (ost.FrameAspectRatio > 0)
        enc->sample_aspect_ratio =
            libav::av_d2q(ost.FrameAspectRatio * enc->height / enc->width, 255);
    else
        enc->sample_aspect_ratio =
            libav::av_buffersink_get_sample_aspect_ratio(ost.OutputVideoFilter);
    ost.St->sample_aspect_ratio = enc->sample_aspect_ratio;
    return 0;
}
