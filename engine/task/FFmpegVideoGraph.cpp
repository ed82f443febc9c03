// The filter graph of an encoded video stream: the decoded pictures enter at "src", are turned
// upright as players show them (the stream's display matrix or rotate tag), are scaled to the
// encoder's size when it differs, pass the stream's -vf filters and leave at "out" in the
// encoder's pixel format.
//
// A graph whose last filter scales 4:2:0 pictures down straight to packed 24-bit RGB is built
// again with that step split in two: the scale to 4:2:2 YUV at the new size, then the turn into
// RGB at that size. The two give the same pixels, bit for bit: packed RGB takes its chroma at
// half the width and the full height, as 4:2:2 holds it, through the same filters, and the
// vertical filter of a planar output rounds as the RGB one does when rounding accurately. But the
// scale to planar YUV has vector code where the scale to packed RGB has none, and the turn into
// RGB at one size is a table lookup a pixel: the scaling costs about a fifth less, on the
// thread that also decodes.
#include "engine/task/FFmpegVideoGraph.h"

#include <cstring>

#include "engine/core/ErrorCodes.h"
#include "engine/core/ShownPicture.h"
#include "engine/core/TextFormat.h"
#include "engine/entrypoints/avfilter.h"
#include "engine/entrypoints/avutil.h"
#include "engine/entrypoints/swscale.h"
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

// Whether the filter before the sink scales yuv420p pictures down, to an even width, straight
// to packed 24-bit RGB: the scale whose split gives the same pixels (at an odd width or when
// enlarging, the two steps' edges differ by a level here and there).
bool SplitsIntoTwoSteps(const AVFilterContext* sink) {
    if (sink->nb_inputs != 1 || !sink->inputs[0]) return false;
    const AVFilterLink* out = sink->inputs[0];
    const AVFilterContext* scale = out->src;
    if (std::strcmp(scale->filter->name, "scale") != 0 || scale->nb_inputs != 1) return false;
    const AVFilterLink* in = scale->inputs[0];
    const bool packedRgb = out->format == AV_PIX_FMT_RGB24 || out->format == AV_PIX_FMT_BGR24;
    const bool smaller = out->w <= in->w && out->h <= in->h && (out->w < in->w || out->h < in->h);
    return in->format == AV_PIX_FMT_YUV420P && packedRgb && smaller && out->w % 2 == 0;
}

// Links the second of the two steps before the sink: 4:2:2 YUV, then the turn into RGB, with
// the exact arithmetic of the scaler's plain code. Returns the filter the graph's filters before
// link to, or null.
AVFilterContext* InsertRgbStep(AVFilterGraph* graph, AVFilterContext* sink, int& ret) {
    AVFilterContext* planar = nullptr;
    AVFilterContext* turn = nullptr;
    ret = CreateFilter(graph, &planar, "format", "planar", "pix_fmts=yuv422p");
    if (ret >= 0) ret = CreateFilter(graph, &turn, "scale", "rgb", "flags=bitexact+accurate_rnd");
    if (ret >= 0) ret = libav::avfilter_link(planar, 0, turn, 0);
    if (ret >= 0) ret = libav::avfilter_link(turn, 0, sink, 0);
    return ret >= 0 ? planar : nullptr;
}

// The graph's two ends: "src", taking the decoder's pictures, and "out", giving the encoder's
// pixel format.
int CreateEnds(AVFilterGraph* graph, TInputStream& ist, TOutputStream& ost) {
    const AVCodecContext* dec = ist.DecoderContext;
    const AVRational sar =
        ist.St->sample_aspect_ratio.num ? ist.St->sample_aspect_ratio : dec->sample_aspect_ratio;
    const std::string sourceArgs = StrFormat(
        "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d", dec->width, dec->height,
        static_cast<int>(dec->pix_fmt), 1, AV_TIME_BASE, sar.num, sar.den ? sar.den : 1);
    int ret = CreateFilter(graph, &ost.InputVideoFilter, "buffer", "src", sourceArgs);
    if (ret < 0) return ret;
    ret = CreateFilter(graph, &ost.OutputVideoFilter, "buffersink", "out", "");
    if (ret < 0) return ret;
    const AVPixelFormat sinkFormats[] = {ost.EncoderContext->pix_fmt, AV_PIX_FMT_NONE};
    return libav::av_opt_set_bin(ost.OutputVideoFilter, "pix_fmts",
                                 reinterpret_cast<const uint8_t*>(sinkFormats),
                                 sizeof(sinkFormats[0]), AV_OPT_SEARCH_CHILDREN);
}

// Links, after `last`, the filters that turn the pictures upright and, when the encoder's size
// differs from the upright pictures', the scale to it; `last` becomes the last of them.
int InsertTurnAndScale(AVFilterGraph* graph, TInputStream& ist, TOutputStream& ost,
                       unsigned swsFlags, AVFilterContext*& last) {
    const AVCodecContext* dec = ist.DecoderContext;
    const AVCodecContext* enc = ost.EncoderContext;
    const TPictureTurn turn = PictureTurnOf(*ist.St);
    int ret = InsertTurn(graph, turn, last);
    if (ret < 0) return ret;
    const int width = turn.SwapsSides() ? dec->height : dec->width;
    const int height = turn.SwapsSides() ? dec->width : dec->height;
    if (enc->width == width && enc->height == height) return 0;
    AVFilterContext* scale = nullptr;
    ret = CreateFilter(graph, &scale, "scale", "scale",
                       StrFormat("%d:%d:flags=0x%X", enc->width, enc->height, swsFlags));
    if (ret < 0) return ret;
    ret = libav::avfilter_link(last, 0, scale, 0);
    if (ret < 0) return ret;
    last = scale;
    return 0;
}

// Builds and configures ost.Graph; with `twoSteps`, the scale into RGB split in two.
int ConfigureVideoGraph(TInputStream& ist, TOutputStream& ost, int threads,
                        const std::string& filterText, bool twoSteps) {
    ost.Graph = libav::avfilter_graph_alloc();
    if (!ost.Graph) return kErrorOutOfMemory;
    AVFilterGraph* graph = ost.Graph;
    graph->nb_threads = threads;
    int ret = CreateEnds(graph, ist, ost);
    if (ret < 0) return ret;
    AVFilterContext* end = ost.OutputVideoFilter;
    if (twoSteps && !(end = InsertRgbStep(graph, ost.OutputVideoFilter, ret))) return ret;
    // The first of two steps rounds accurately, as the single step does.
    const auto swsFlags =
        static_cast<unsigned>(twoSteps ? ost.SwsFlags | SWS_ACCURATE_RND : ost.SwsFlags);
    AVFilterContext* last = ost.InputVideoFilter;
    ret = InsertTurnAndScale(graph, ist, ost, swsFlags, last);
    if (ret < 0) return ret;
    graph->scale_sws_opts = libav::av_strdup(StrFormat("flags=0x%X", swsFlags).c_str());
    if (!filterText.empty())
        ret = InsertFilterText(graph, filterText, last, end);
    else
        ret = libav::avfilter_link(last, 0, end, 0);
    if (ret < 0) return ret;
    return libav::avfilter_graph_config(graph, nullptr);
}

}  // namespace

int BuildVideoGraph(TInputStream& ist, TOutputStream& ost, int threads) {
    AVCodecContext* enc = ost.EncoderContext;
    const std::string filterText = std::move(ost.AvFilter);
    ost.AvFilter.clear();
    int ret = ConfigureVideoGraph(ist, ost, threads, filterText, false);
    if (ret >= 0 && SplitsIntoTwoSteps(ost.OutputVideoFilter)) {
        libav::avfilter_graph_free(&ost.Graph);
        // Should the split graph not come together, the single step serves as before.
        if (ConfigureVideoGraph(ist, ost, threads, filterText, true) < 0) {
            libav::avfilter_graph_free(&ost.Graph);
            ret = ConfigureVideoGraph(ist, ost, threads, filterText, false);
        }
    }
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
