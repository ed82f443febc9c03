#pragma once
// TGIFStreamWriter: a document written to a stream a frame at a time, so that a long animation
// need not be held whole in memory. The frames go out as the document's own save writes them;
// what the header derives from every frame (the version, the packed flags, the logical screen)
// is gathered on the way and written over the header once the last frame is out. The bytes are
// those SaveToStream writes for a document of all the frames, as long as the global colour
// table does not change meanwhile.
#include <cstdint>

class TGIFImage;
class TGIFSubImage;
class TStream;

class TGIFStreamWriter {
public:
    // Writes into `stream`, which must be able to seek back to where the header starts. The
    // document holds the header and the settings the frames are written with.
    TGIFStreamWriter(TGIFImage& document, TStream& stream);
    TGIFStreamWriter(const TGIFStreamWriter&) = delete;
    TGIFStreamWriter& operator=(const TGIFStreamWriter&) = delete;

    // Writes a frame of the document, after the header when it is the first. The frame must
    // have a local colour table unless the document has a global one, which must not change
    // once the header is written: without a global table, how a frame without a table of its
    // own is coded depends on the tables of frames not written yet ("Frame needs a local color
    // table to be written ahead").
    void Write(TGIFSubImage& frame);
    // Frames written so far.
    int Frames() const { return frames_; }
    // Writes the trailer and brings the header up to date with every frame written. Fails with
    // "Unsupported GIF version" when no frame was written.
    void Finish();

private:
    void WriteHeader();

    TGIFImage& document_;
    TStream& stream_;
    int64_t headerStart_ = 0;
    int64_t headerSize_ = 0;
    int frames_ = 0;
    int version_ = 0;
    int bitsPerPixel_ = 1;
};
