#include "gif/model/GIFImage.h"

#include <algorithm>

#include "gif/core/GIFException.h"
#include "gif/format/GIFStreamIO.h"
#include "platform/Bitmap.h"
#include "platform/PaintTimer.h"
#include "platform/Stream.h"

namespace {
constexpr int kMaxScreenSize = 0xFFFF;
// What saving optimises when OptimizeBeforeStreaming is on: everything that keeps the
// pictures as they are.
}  // namespace

TGIFImage::TGIFImage()
    : images_(this), header_(this), paintTimer_(&DefaultPaintTimer()), painters_(NewPainterList()) {
    const TGIFDefaults& defaults = GIFDefaults();
    paintOptions_ = defaults.PaintOptions;
    reductionMode_ = defaults.ReductionMode;
    quantizeBits_ = defaults.QuantizeBits;
    diffusionMode_ = defaults.DiffusionMode;
    encoding_ = defaults.Encoding;
    painterPriority_ = defaults.PainterPriority;
    playbackSpeed_ = defaults.PlaybackSpeed;
    forcedFrame_ = defaults.ForcedFrame;
    backdropColor_ = defaults.BackdropColor;
    Clear();
}

TGIFImage::~TGIFImage() {
    StopPainting();
    images_.Clear();
}

void TGIFImage::Clear() {
    StopPainting();
    FreeComposed();
    images_.Clear();
    header_.Clear();
    header_.Prepare();
    globalPaletteValid_ = false;
    globalPalette_.clear();
}

int TGIFImage::Add(TBitmap& bitmap) {
    auto frame = std::make_unique<TGIFSubImage>(this);
    frame->ImportBitmap(bitmap);
    const int index = images_.Add(std::move(frame));
    Changed();
    return index;
}

int TGIFImage::Add(std::unique_ptr<TGIFObject> source) {
    auto* frame = dynamic_cast<TGIFSubImage*>(source.get());
    if (!frame) throw GIFException("Object type not supported for operation");
    source.release();
    std::unique_ptr<TGIFSubImage> owned(frame);
    owned->SetImage(this);
    const int index = images_.Add(std::move(owned));
    Changed();
    return index;
}

int TGIFImage::AddImported(std::unique_ptr<TGIFSubImage> frame) {
    frame->SetImage(this);
    frame->GrowLogicalScreenAsImported();
    const int index = images_.Add(std::move(frame));
    Changed();
    return index;
}

int TGIFImage::Version() const {
    int version = 0;
    for (int i = 0; i < images_.Count() && version < 2; ++i)
        version = std::max(version, images_[i].Version());
    return version;
}

void TGIFImage::SaveToFile(const std::string& fileName) {
    TFileStream file(fileName, TFileStream::Mode::Create);
    SaveToStream(file);
}

void TGIFImage::SaveToStream(TStream& stream) {
    if (GIFDefaults().OptimizeBeforeStreaming) OptimizeBeforeSaving();
    Progress(psStarting, 0, false, "Saving...");
    try {
        if (Version() == 0) throw GIFException("Unsupported GIF version");
        header_.Prepare();
        header_.SaveToStream(stream);
        const int count = images_.Count();
        for (int i = 0; i < count; ++i) {
            images_[i].SaveToStream(stream);
            Progress(psRunning, (i + 1) * 100 / count, false, "Saving...");
        }
        stream.WriteByte(bsTrailer);
    } catch (...) {
        Progress(psEnding, 0, true, "Saving...");
        throw;
    }
    Progress(psEnding, 100, true, "Saving...");
}

void TGIFImage::LoadFromFile(const std::string& fileName) {
    TFileStream file(fileName, TFileStream::Mode::OpenRead);
    LoadFromStream(file);
}

void TGIFImage::LoadFromStream(TStream& stream) {
    Progress(psStarting, 0, false, "Loading...");
    Clear();
    readBudget_ = TGIFReadBudget(readLimits_);
    const int64_t start = stream.Position();
    try {
        header_.LoadFromStream(stream);
        readBudget_.CheckScreenSize(Width(), Height());
        images_.LoadFromStream(stream);
        GrowToCoverFrames();
        readBudget_.CheckScreenSize(Width(), Height());
        ReadTrailer(stream);
    } catch (...) {
        stream.SetPosition(start);
        Progress(psEnding, 0, true, "Loading...");
        throw;
    }
    Progress(psEnding, 100, true, "Loading...");
}

void TGIFImage::GrowToCoverFrames() {
    int width = header_.Width();
    int height = header_.Height();
    for (int i = 0; i < images_.Count(); ++i) {
        const TGIFSubImage& frame = images_[i];
        width = std::max(width, std::min(kMaxScreenSize, frame.Left() + frame.Width()));
        height = std::max(height, std::min(kMaxScreenSize, frame.Top() + frame.Height()));
    }
    header_.SetWidth(width);
    header_.SetHeight(height);
}

void TGIFImage::ReadTrailer(TStream& stream) {
    const int trailer = ReadGIFByteOrEnd(stream);
    if (trailer >= 0 && trailer != bsTrailer) Warning(this, 1, "Invalid Image trailer");
}

void TGIFImage::Assign(const TGIFImage& source) {
    if (&source == this) return;
    Clear();
    header_.Assign(source.header_);
    painterPriority_ = source.painterPriority_;
    backdropColor_ = source.backdropColor_;
    paintOptions_ = source.paintOptions_;
    reductionMode_ = source.reductionMode_;
    diffusionMode_ = source.diffusionMode_;
    forcedFrame_ = source.forcedFrame_;
    OnDiagnostic = source.OnDiagnostic;
    OnProgress = source.OnProgress;
    OnChange = source.OnChange;
    OnStartPaint = source.OnStartPaint;
    OnPaint = source.OnPaint;
    OnAfterPaint = source.OnAfterPaint;
    OnLoop = source.OnLoop;
    OnEndPaint = source.OnEndPaint;
    const int count = source.images_.Count();
    Progress(psStarting, 0, false, "Copying...");
    try {
        for (int i = 0; i < count; ++i) {
            auto frame = std::make_unique<TGIFSubImage>(this);
            frame->Assign(source.images_[i]);
            images_.Add(std::move(frame));
            Progress(psRunning, (i + 1) * 100 / count, false, "Copying...");
        }
        GrowToCoverFrames();
    } catch (...) {
        Progress(psEnding, 0, true, "Copying...");
        throw;
    }
    Progress(psEnding, 100, true, "Copying...");
    Changed();
}

void TGIFImage::Assign(TBitmap& bitmap) {
    Clear();
    Add(bitmap);
}

void TGIFImage::SetWidth(int width) {
    CheckScreenExtent(width, &TGIFSubImage::Left, &TGIFSubImage::Width,
                      "Image width too small for contained frames");
    if (width == Width()) return;
    header_.SetWidth(width);
    Changed();
}

void TGIFImage::SetHeight(int height) {
    CheckScreenExtent(height, &TGIFSubImage::Top, &TGIFSubImage::Height,
                      "Image height too small for contained frames");
    if (height == Height()) return;
    header_.SetHeight(height);
    Changed();
}

// Checks a new logical screen width or height against every frame's far edge along that axis.
void TGIFImage::CheckScreenExtent(int extent, int (TGIFSubImage::*origin)() const,
                                  int (TGIFSubImage::*size)() const, const char* tooSmall) const {
    if (extent < 0 || extent > kMaxScreenSize) throw GIFException("Invalid image dimensions");
    for (int i = 0; i < images_.Count(); ++i)
        if ((images_[i].*origin)() + (images_[i].*size)() > extent) throw GIFException(tooSmall);
}

void TGIFImage::Warning(TGIFObject* sender, int severity, const std::string& message) {
    if (OnDiagnostic) OnDiagnostic(sender, severity, message);
}

void TGIFImage::Progress(TProgressStage stage, int percent, bool redrawNow,
                         const std::string& message) {
    if (OnProgress) OnProgress(this, stage, percent, redrawNow, TRect{}, message);
}

void TGIFImage::Changed() {
    FreeComposed();
    if (OnChange) OnChange(this);
}
