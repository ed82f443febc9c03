#pragma once
// TGIFImage: an animated GIF held in memory, built frame by frame from bitmaps, written to and
// read from GIF streams, optimised, painted and exchanged through the clipboard.
#include <functional>
#include <memory>
#include <string>

#include "gif/core/GIFTypes.h"
#include "gif/format/GIFReadBudget.h"
#include "gif/model/GIFDefaults.h"
#include "gif/model/GIFHeader.h"
#include "gif/model/GIFItem.h"
#include "gif/model/GIFList.h"
#include "gif/model/GIFSubImage.h"
#include "platform/Canvas.h"

class TBitmap;
class TClipboard;
class TGIFComposer;
class TGIFPainter;
class TGIFPainterList;
class TPaintTimer;
class TStream;

// The clipboard format of a whole GIF stream.
constexpr const char* kGIFClipboardFormat = "GIF Image";

// A non-fatal problem: the item that raised it, severity 1 and the text.
using TGIFDiagnosticEvent =
    std::function<void(TGIFObject* sender, int severity, const std::string& message)>;
// Progress of a long operation ("Saving...", "Loading...", "Converting...", "Copying...",
// "Optimizing...", "Rendering...").
using TGIFProgressEvent =
    std::function<void(TGIFObject* sender, TProgressStage stage, int percent, bool redrawNow,
                       const TRect& rect, const std::string& message)>;
using TGIFNotifyEvent = std::function<void(TGIFObject* sender)>;
// A paint event: called with the painter (on the main thread for a threaded painter).
using TGIFPainterEvent = std::function<void(TGIFPainter& painter)>;

// The painters of a document are made and freed by the painting code (gif/paint/), which the
// document itself does not need to know.
struct TGIFPainterListDeleter {
    void operator()(TGIFPainterList* list) const;
};
using TGIFPainterListPtr = std::unique_ptr<TGIFPainterList, TGIFPainterListDeleter>;

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
    // Appends a frame imported from a bitmap away from the document (ImportBitmap with
    // settings), as Add of that bitmap would have: the logical screen grows to cover it.
    int AddImported(std::unique_ptr<TGIFSubImage> frame);

    void SaveToFile(const std::string& fileName);
    void SaveToStream(TStream& stream);
    void LoadFromFile(const std::string& fileName);
    void LoadFromStream(TStream& stream);

    // Copies another document: header, frames and most settings and events.
    void Assign(const TGIFImage& source);
    // Replaces the document by one frame made from the bitmap.
    void Assign(TBitmap& bitmap);

    // Shrinks the animation (see RunFrameOptimizer for the passes and the options): stops all
    // painters first and holds the painters list meanwhile. Does nothing without frames.
    // ooReduceColors fails with "Invalid reduction method" for prCallerPalette and above.
    void OptimizeFrames(TGIFOptimizeOptions options, TPaletteReduction mode, int bits,
                        TErrorDiffusion diffusion);

    // Paints the document on `rect` of `canvas`. Without frames, or while a paint is under way,
    // nothing happens. One frame, or PaintOptions without poAnimate, draws the picture at
    // ForcedFrame (when it is a frame's index, else at the first frame). Otherwise a painter
    // plays the animation there: a threaded one returns at once, one in the caller's thread
    // when it ends. A painter already playing on that canvas and rectangle repaints its
    // picture; one playing elsewhere is stopped.
    void Draw(TCanvas& canvas, const TRect& rect);
    // Stops every painter and waits for the threaded ones to end.
    void StopPainting();
    TGIFPainterList& Painters() { return *painters_; }
    // The clock and waits of painters; null gives back the default timer.
    TPaintTimer& PaintTimer() const { return *paintTimer_; }
    void SetPaintTimer(TPaintTimer* timer);
    // Whether painting dithers to the web colour cube (poDither, and with poDitherOnLowColor
    // only on a low-colour display).
    bool DitherForDisplay() const;
    // The picture shown at ForcedFrame (or the first frame), as a 24-bit bitmap of the logical
    // screen whose mask marks what no frame covers; kept until the document changes.
    const TBitmap& Bitmap();

    // The palette of the global colour table, else of the first frame's active table; empty
    // when there is none.
    TPalette Palette();
    // Gives the global colour table (else the first frame's local table) the palette's colours;
    // fails with "No global or local color table defined" when the document has neither.
    void SetPalette(const TPalette& palette);

    // Puts the picture (Bitmap()) and the whole GIF stream, under kGIFClipboardFormat, on the
    // clipboard ("Failed to store GIF on clipboard" when it refuses).
    void SaveToClipboard(TClipboard& clipboard);
    // Reads a GIF stream from the clipboard, or makes one frame of a bitmap there; anything
    // else fails with "Unsupported clipboard format".
    void LoadFromClipboard(TClipboard& clipboard);

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
    // Also takes effect in running painters.
    void SetPlaybackSpeed(int percent);
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
    // Paint events, copied by each painter when it is made: before the first frame, before
    // and after each frame, before each pass but the first, and at the end.
    TGIFPainterEvent OnStartPaint;
    TGIFPainterEvent OnPaint;
    TGIFPainterEvent OnAfterPaint;
    TGIFPainterEvent OnLoop;
    TGIFPainterEvent OnEndPaint;

    // Raised by the document's items; reaches OnDiagnostic when assigned.
    void Warning(TGIFObject* sender, int severity, const std::string& message);
    void Progress(TProgressStage stage, int percent, bool redrawNow, const std::string& message);
    void GlobalColorMapChanged();
    // Signals a change and drops the composed picture.
    void Changed();

private:
    void DrawStill(TCanvas& canvas, const TRect& rect);
    void Animate(TCanvas& canvas, const TRect& rect);
    // The picture shown after frames 0 to `last`.
    void Compose(TGIFComposer& composer, int last);
    int StillFrame() const;
    void FreeComposed() { composed_.reset(); }
    // An empty list of painters (made by the painting code).
    static TGIFPainterListPtr NewPainterList();
    // Optimises before SaveToStream writes, when GIFDefaults asks for it.
    void OptimizeBeforeSaving();

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
    bool drawing_ = false;
    bool paletteGuard_ = false;
    TPalette globalPalette_;
    bool globalPaletteValid_ = false;
    std::unique_ptr<TBitmap> composed_;
    TPaintTimer* paintTimer_;
    TGIFPainter* drawPainter_ = nullptr;
    // Last: destroyed first, so painters end before anything they use goes.
    TGIFPainterListPtr painters_;
};
