// Hooks and previews of the video path: deinterlacing and the input hooks on each decoded
// picture, the output hooks on each picture about to be encoded, and the preview window and
// preview bitmaps (at most one per preview interval). The preview flags of all tasks share one
// process-wide lock; neither the preview route nor the preview window (both may wait for the
// main thread) is called while it is held.
#include "engine/task/FFmpegVideoHooks.h"

#include "engine/core/ErrorCodes.h"
#include "engine/decoder/FFDecodeDeinterlace.h"
#include "engine/decoder/Previewer.h"
#include "engine/entrypoints/avutil.h"
#include "engine/task/FFmpegStepFailure.h"
#include "engine/task/FFmpegTask.h"
#include "platform/Exception.h"

namespace {

// The process-wide lock of the preview flags of all tasks.
std::mutex& PreviewLock() {
    static std::mutex lock;
    return lock;
}

TPicture PictureOf(const AVFrame* frame) {
    TPicture picture{};
    for (int i = 0; i < 4; i++) {
        picture.data[i] = frame->data[i];
        picture.linesize[i] = frame->linesize[i];
    }
    return picture;
}

// A writable frame of the picture's format and size in `copy` (reused while they stay the
// same). False when no buffer can be had.
bool PrepareCopy(AVFrame*& copy, const AVFrame* frame) {
    if (!copy) copy = libav::av_frame_alloc();
    if (!copy) return false;
    const bool sameLayout = copy->buf[0] && copy->format == frame->format &&
                            copy->width == frame->width && copy->height == frame->height;
    if (sameLayout) return libav::av_frame_make_writable(copy) >= 0;
    libav::av_frame_unref(copy);
    copy->format = frame->format;
    copy->width = frame->width;
    copy->height = frame->height;
    return libav::av_frame_get_buffer(copy, 0) >= 0;
}

// Makes `frame` refer to the hook copy, keeping its own properties.
void ReplacePicture(AVFrame* frame, AVFrame* copy) {
    libav::av_frame_copy_props(copy, frame);
    libav::av_frame_unref(frame);
    libav::av_frame_ref(frame, copy);
}

// A video hook on the picture, through the bitmap of `converter`. Returns true when the bitmap
// still shows the picture as it goes on (the handler kept Update), so a preview can reuse it.
bool RunVideoHook(TCustomFFmpeg& task, TVideoHookRoute& hook, TFormatConverter& converter,
                  TPicture& picture, AVPixelFormat format, int width, int height, int64_t pts,
                  int frameNumber) {
    if (!converter.ToBitmap(picture, format, true, height, width)) {
        task.Log(llError, converter.LastError());
        hook = nullptr;
        return false;
    }
    TVideoHookCall call;
    call.Bitmap = &converter.Bitmap();
    call.FrameNumber = frameNumber;
    call.PTS = pts;
    try {
        hook(&task, call);
    } catch (const std::exception& error) {
        task.Log(llError, std::string("Error occurs VideoHook event: ") + error.what());
        call.Update = false;
    } catch (...) {
        task.Log(llError, "Error occurs VideoHook event: unknown error");
        call.Update = false;
    }
    if (call.Update) {
        converter.CopyFromBitmap();
        if (converter.CurrentIsConverted() &&
            !converter.FromBitmap(picture, format, height, width)) {
            task.Log(llError, converter.LastError());
            hook = nullptr;
        }
    }
    if (call.StopHook) hook = nullptr;
    return call.Update;
}

void RunFrameHook(TCustomFFmpeg& task, TFrameHookRoute& hook, TPicture& picture,
                  const AVFrame* frame, int frameNumber, int64_t pts) {
    TFrameHookCall call;
    call.FrameNumber = frameNumber;
    call.Picture = &picture;
    call.PixFmt = frame->format;
    call.Width = frame->width;
    call.Height = frame->height;
    call.PTS = pts;
    hook(&task, call);
}

// Converts the picture into the preview bitmap unless it is there already. False (logged)
// when the conversion fails.
bool PreviewBitmapOf(TCustomFFmpeg& task, const TPicture& picture, const AVFrame* frame,
                     bool converted) {
    if (converted) return true;
    TFormatConverter& converter = task.VideoHooks->PreviewConverter;
    if (converter.ToBitmap(picture, static_cast<AVPixelFormat>(frame->format), true, frame->height,
                           frame->width))
        return true;
    task.Log(llError, converter.LastError());
    return false;
}

void DeliverPreview(TCustomFFmpeg& task, const TPicture& picture, const AVFrame* frame,
                    bool converted, int64_t pts, int frameNumber) {
    TVideoHookStage& stage = *task.VideoHooks;
    TVideoHookStage::TPreviewState& preview = stage.Preview;
    int flags;
    bool changed;
    {
        std::lock_guard<std::mutex> guard(PreviewLock());
        flags = preview.Flags;
        changed = preview.FlagsChanged;
        preview.FlagsChanged = false;
    }
    converted = converted && !changed;
    const int64_t now = libav::av_gettime_relative();
    const bool due =
        stage.LastPreviewTime == INT64_MIN || now - stage.LastPreviewTime > task.PreviewInterval;
    int cleared = 0;
    if ((flags & kPreviewBitmap) && task.Routes.PreviewBitmap) {
        if (due) {
            if (PreviewBitmapOf(task, picture, frame, converted))
                task.Routes.PreviewBitmap(&task, stage.PreviewConverter.Bitmap(), frameNumber, pts);
            else
                cleared |= kPreviewBitmap;
            stage.LastPreviewTime = now;
        }
    } else if (flags & kPreviewWindow) {
        if (due) {
            if (!PreviewBitmapOf(task, picture, frame, converted)) {
                cleared |= kPreviewWindow;
            } else {
                if (!preview.Window) preview.Window = std::make_unique<TPreviewer>();
                if (!preview.Window->Show(stage.PreviewConverter.Bitmap(), frameNumber, pts))
                    cleared |= kPreviewWindow;
            }
            stage.LastPreviewTime = now;
        }
    }
    std::unique_ptr<TPreviewer> closed;
    {
        std::lock_guard<std::mutex> guard(PreviewLock());
        preview.Flags &= ~cleared;
        if (!(preview.Flags & kPreviewWindow)) closed = std::move(preview.Window);
    }
}

// Marks the task converting (its thread alone then owns the preview window) or not; the
// window closes when the preview flag is off.
void SetConverting(TVideoHookStage::TPreviewState& preview, bool converting) {
    std::unique_ptr<TPreviewer> closed;  // goes after the lock is released
    std::lock_guard<std::mutex> guard(PreviewLock());
    preview.Converting = converting;
    if (!(preview.Flags & kPreviewWindow)) closed = std::move(preview.Window);
}

}  // namespace

TVideoHookStage::TVideoHookStage() = default;

TVideoHookStage::~TVideoHookStage() {
    if (!libav::av_frame_free) return;  // nothing of the libraries was made without them
    libav::av_frame_free(&InputHookFrame);
    libav::av_frame_free(&OutputHookFrame);
}

void TCustomFFmpeg::SetFlags(int flags) {
    TVideoHookStage::TPreviewState& preview = VideoHooks->Preview;
    std::unique_ptr<TPreviewer> closed;  // goes after the lock is released
    std::lock_guard<std::mutex> guard(PreviewLock());
    preview.Flags = flags;
    preview.FlagsChanged = true;
    if (!(flags & kPreviewWindow) && !preview.Converting) closed = std::move(preview.Window);
}

int TCustomFFmpeg::Flags() const {
    std::lock_guard<std::mutex> guard(PreviewLock());
    return VideoHooks->Preview.Flags;
}

void TCustomFFmpeg::SetVideoHookBitsPixel(int bitsPixel) {
    VideoHookBitsPixel = bitsPixel;
    VideoHooks->HookConverter.SetBitsPixel(bitsPixel);
    VideoHooks->PreviewConverter.SetBitsPixel(bitsPixel);
}

int StartVideoHooks(TCustomFFmpeg& task) {
    TVideoHookStage& stage = *task.VideoHooks;
    SetConverting(stage.Preview, true);
    stage.LastPreviewTime = INT64_MIN;
    try {
        stage.HookConverter.SetBitsPixel(task.VideoHookBitsPixel);
        stage.PreviewConverter.SetBitsPixel(task.VideoHookBitsPixel);
    } catch (const Exception& error) {  // a depth the converters do not have
        return FailStep(task, kErrorInvalidArgument, error.what());
    }
    return 0;
}

void FinishVideoHooks(TCustomFFmpeg& task) {
    TVideoHookStage& stage = *task.VideoHooks;
    libav::av_frame_free(&stage.InputHookFrame);
    libav::av_frame_free(&stage.OutputHookFrame);
    SetConverting(stage.Preview, false);
}

void pre_process_video_frame(TCustomFFmpeg& task, TInputStream& ist, AVFrame* frame) {
    ist.FrameCounter++;
    TTaskRoutes& routes = task.Routes;
    const bool frameHooks = task.UseFrameHook && !task.FrameHooks.Empty();
    if (!task.DoDeinterlace && !routes.FrameInputHook && !routes.VideoInputHook && !frameHooks)
        return;
    AVFrame*& copy = task.VideoHooks->InputHookFrame;
    if (!PrepareCopy(copy, frame)) {
        task.Log(llError, "hook buf malloc error in pre_process_video_frame().");
        return;
    }
    if (!task.DoDeinterlace || !DeinterlaceFrame(*frame, *copy)) {
        if (task.DoDeinterlace) task.Log(llWarning, "Deinterlacing failed.");
        libav::av_frame_copy(copy, frame);
    }
    TPicture picture = PictureOf(copy);
    const auto format = static_cast<AVPixelFormat>(frame->format);
    if (routes.FrameInputHook)
        RunFrameHook(task, routes.FrameInputHook, picture, copy, ist.FrameCounter, ist.Pts);
    if (routes.VideoInputHook)
        RunVideoHook(task, routes.VideoInputHook, task.VideoHooks->HookConverter, picture, format,
                     frame->width, frame->height, ist.Pts, ist.FrameCounter);
    else if (frameHooks)
        ProcessFrameHooks(task.FrameHooks, &picture, frame->format, frame->width, frame->height,
                          ist.Pts);
    ReplacePicture(frame, copy);
}

bool HasOutputHooks(TCustomFFmpeg& task) {
    return task.Routes.VideoOutputHook || task.Routes.FrameOutputHook || task.Flags() != 0;
}

AVFrame* RunOutputHooks(TCustomFFmpeg& task, AVFrame* frame, int64_t pts, int frameNumber) {
    TTaskRoutes& routes = task.Routes;
    AVFrame* result = frame;
    bool converted = false;
    if (routes.VideoOutputHook || routes.FrameOutputHook) {
        AVFrame*& copy = task.VideoHooks->OutputHookFrame;
        if (PrepareCopy(copy, frame)) {
            libav::av_frame_copy(copy, frame);
            libav::av_frame_copy_props(copy, frame);
            TPicture picture = PictureOf(copy);
            if (routes.VideoOutputHook)
                converted =
                    RunVideoHook(task, routes.VideoOutputHook, task.VideoHooks->PreviewConverter,
                                 picture, static_cast<AVPixelFormat>(frame->format), frame->width,
                                 frame->height, pts, frameNumber);
            if (routes.FrameOutputHook)
                RunFrameHook(task, routes.FrameOutputHook, picture, copy, frameNumber, pts);
            result = copy;
        } else {
            task.Log(llError, "hook buf malloc error.");
        }
    }
    if (task.Flags() != 0)
        DeliverPreview(task, PictureOf(result), result, converted, pts, frameNumber);
    return result;
}
