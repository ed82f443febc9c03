#pragma once
// TGIFImage: an animated GIF held in memory, built frame by frame from bitmaps, written to and
// read from GIF streams.
#include <functional>
#include <memory>
#include <string>

#include "gif/GIFDefaults.h"
#include "gif/GIFHeader.h"
#include "gif/GIFItem.h"
#include "gif/GIFList.h"
#include "gif/GIFReadBudget.h"
#include "gif/GIFSubImage.h"
#include "gif/GIFTypes.h"

class TBitmap;
class TStream;

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

// A non-fatal problem: the item that raised it, severity 1 and the text.
using TGIFDiagnosticEvent =
    std::function<void(TGIFObject* sender, int severity, const std::string& message)>;
// Progress of a long operation ("Saving...", "Loading...", "Converting...", "Copying...").
using TGIFProgressEvent =
    std::function<void(TGIFObject* sender, TProgressStage stage, int percent, bool redrawNow,
                       const TRect& rect, const std::string& message)>;
using TGIFNotifyEvent = std::function<void(TGIFObject* sender)>;

class TGIFImage : public TGIFObject {
public:
    TGIFImage();
    ~TGIFImage() override;
    TGIFImage(const TGIFImage&) = delete;
    TGIFImage& operator=(const TGIFImage&) = delete;

    // Removes every frame, empties the global table and sets the screen size to 0; the
    // settings stay.
    void Clear();
    // Appends a frame made from the bitmap; returns its index. A failed import leaves the
    // frame list as it was.
    int Add(TBitmap& bitmap);
    // Appends a frame (which the document then owns); anything else fails with "Object type
    // not supported for operation".
    int Add(std::unique_ptr<TGIFObject> source);

    void SaveToFile(const std::string& fileName);
    void SaveToStream(TStream& stream);
    void LoadFromFile(const std::string& fileName);
    void LoadFromStream(TStream& stream);

    // Copies another document: header, frames and most settings and events.
    void Assign(const TGIFImage& source);
    // Replaces the document by one frame made from the bitmap.
    void Assign(TBitmap& bitmap);

    // The logical screen; a size smaller than a frame needs fails.
    int Width() const { return header_.Width(); }
    int Height() const { return header_.Height(); }
    void SetWidth(int width);
    void SetHeight(int height);
    bool Empty() const { return images_.Count() == 0; }
    TGIFImageList& Images() { return images_; }
    const TGIFImageList& Images() const { return images_; }
    TGIFHeader& Header() { return header_; }
    const TGIFHeader& Header() const { return header_; }
    // Highest version any frame needs (1 = "87a", 2 = "89a"); 0 without frames.
    int Version() const;
    // Bits per pixel of the header's packed flags (the largest table of the document).
    int BitsPerPixel() const { return header_.BitsPerPixel(); }

    uint16_t PaintOptions() const { return paintOptions_; }
    void SetPaintOptions(uint16_t options) { paintOptions_ = options; }
    TPaletteReduction ReductionMode() const { return reductionMode_; }
    void SetReductionMode(TPaletteReduction mode) { reductionMode_ = mode; }
    int QuantizeBits() const { return quantizeBits_; }
    void SetQuantizeBits(int bits) { quantizeBits_ = bits; }
    TErrorDiffusion DiffusionMode() const { return diffusionMode_; }
    void SetDiffusionMode(TErrorDiffusion mode) { diffusionMode_ = mode; }
    TGIFEncoding Encoding() const { return encoding_; }
    void SetEncoding(TGIFEncoding encoding) { encoding_ = encoding; }
    TGIFThreadPriority PainterPriority() const { return painterPriority_; }
    void SetPainterPriority(TGIFThreadPriority priority) { painterPriority_ = priority; }
    int PlaybackSpeed() const { return playbackSpeed_; }
    void SetPlaybackSpeed(int percent) { playbackSpeed_ = percent; }
    int ForcedFrame() const { return forcedFrame_; }
    void SetForcedFrame(int index) { forcedFrame_ = index; }
    TColor BackdropColor() const { return backdropColor_; }
    void SetBackdropColor(TColor color) { backdropColor_ = color; }
    // What reading a file may cost (see GIFReadBudget.h); the account of the reading under way.
    const TGIFReadLimits& ReadLimits() const { return readLimits_; }
    void SetReadLimits(const TGIFReadLimits& limits) { readLimits_ = limits; }
    TGIFReadBudget& ReadBudget() { return readBudget_; }

    // Set when a palette change needs a redraw.
    bool PaletteModified() const { return paletteModified_; }
    void SetPaletteModified(bool modified) { paletteModified_ = modified; }

    TGIFDiagnosticEvent OnDiagnostic;
    TGIFProgressEvent OnProgress;
    TGIFNotifyEvent OnChange;

    // Raised by the document's items; reaches OnDiagnostic when assigned.
    void Warning(TGIFObject* sender, int severity, const std::string& message);
    void Progress(TProgressStage stage, int percent, bool redrawNow, const std::string& message);
    void GlobalColorMapChanged() { paletteModified_ = true; }
    void Changed();

private:
    void CheckScreenExtent(int extent, int (TGIFSubImage::*origin)() const,
                           int (TGIFSubImage::*size)() const, const char* tooSmall) const;
    void GrowToCoverFrames();
    void ReadTrailer(TStream& stream);

    TGIFImageList images_;
    TGIFHeader header_;
    uint16_t paintOptions_;
    TPaletteReduction reductionMode_;
    int quantizeBits_;
    TErrorDiffusion diffusionMode_;
    TGIFEncoding encoding_;
    TGIFThreadPriority painterPriority_;
    int playbackSpeed_;
    int forcedFrame_;
    TColor backdropColor_;
    bool paletteModified_ = false;
    TGIFReadLimits readLimits_;
    TGIFReadBudget readBudget_;
};
