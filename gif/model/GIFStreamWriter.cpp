#include "gif/model/GIFStreamWriter.h"

#include <algorithm>

#include "gif/core/GIFException.h"
#include "gif/format/GIFStreamIO.h"
#include "gif/model/GIFImage.h"
#include "gif/model/GIFSubImage.h"
#include "platform/Stream.h"

TGIFStreamWriter::TGIFStreamWriter(TGIFImage& document, TStream& stream)
    : document_(document), stream_(stream) {}

void TGIFStreamWriter::Write(TGIFSubImage& frame) {
    if (!frame.Empty() && frame.ColorMap().Count() == 0 &&
        document_.Header().ColorMap().Count() == 0)
        throw GIFException("Frame needs a local color table to be written ahead");
    if (frames_ == 0) WriteHeader();
    version_ = std::max(version_, frame.Version());
    bitsPerPixel_ = std::max(bitsPerPixel_, frame.ColorMap().BitsPerPixel());
    frame.SaveToStream(stream_);
    ++frames_;
}

// What the header says before the frames are known; Finish writes the final one over it.
void TGIFStreamWriter::WriteHeader() {
    document_.Progress(psStarting, 0, false, "Saving...");
    headerStart_ = stream_.Position();
    TGIFHeader& header = document_.Header();
    header.Prepare(1);
    header.SaveToStream(stream_, 1);
    headerSize_ = stream_.Position() - headerStart_;
}

void TGIFStreamWriter::Finish() {
    if (frames_ == 0) throw GIFException("Unsupported GIF version");
    stream_.WriteByte(bsTrailer);
    const int64_t end = stream_.Position();
    TGIFHeader& header = document_.Header();
    header.Prepare(bitsPerPixel_);
    stream_.SetPosition(headerStart_);
    header.SaveToStream(stream_, version_);
    if (stream_.Position() - headerStart_ != headerSize_)
        throw GIFException("Global color table changed while the document was written");
    stream_.SetPosition(end);
    document_.Progress(psEnding, 100, true, "Saving...");
}
