#pragma once
// TFrameOutputAdapter: receives the encoded output of a conversion in memory. A conversion
// selects one of the frame output formats (FrameOutputFormats.h) and names its output file with
// the adapter's OutputName(); the format's callbacks then raise the adapter's events on the
// thread that writes the output: OnWriteHeader once, OnWriteFrame per packet, OnWriteClose.
#include <cstdint>
#include <functional>
#include <string>

#include "engine/core/FFBaseComponent.h"

struct AVFormatContext;
struct AVPacket;
class TFrameOutputAdapter;

// What the adapter passes with each frame. It is the private data of one output, zero-filled
// by libavformat when the output is made and freed with it.
struct TOutputFrameInfo {
    AVFormatContext* FormatContext;  // the output
    int PixelFormat;                 // of the output's first stream
    int Width;
    int Height;
    int FrameNumber;               // 0 until the first frame, then 1, 2, ...
    AVPacket* Packet;              // the current frame's packet; valid only during OnWriteFrame
    TFrameOutputAdapter* Adapter;  // the adapter that receives the events
    int64_t AdapterIdentity;       // its identity, 0 when the output found none
};
using POutputFrameInfo = TOutputFrameInfo*;

using TFrameOutputNotifyEvent = std::function<void(TFrameOutputAdapter* Sender)>;
using TWriteFrameEvent =
    std::function<void(TFrameOutputAdapter* Sender, POutputFrameInfo AFrameInfo)>;

class TFrameOutputAdapter : public TFFBaseComponent {
public:
    TFrameOutputAdapter();
    // Clears the events and withdraws the adapter: outputs naming it fail from then on, and one
    // still running raises nothing more.
    ~TFrameOutputAdapter() override;

    // The number that names this adapter as an output file (never 0, never reused).
    int64_t Identity() const { return identity_; }
    std::string OutputName() const { return std::to_string(identity_); }

    // The record of the output served at the moment: set when its header is written, null again
    // once libavformat has finished with the output (after the trailer).
    POutputFrameInfo CurrentFrameInfo() const { return current_; }
    void SetCurrentFrameInfo(POutputFrameInfo info) { current_ = info; }

    // The live adapter with this identity, or null.
    static TFrameOutputAdapter* Find(int64_t identity);

    TFrameOutputNotifyEvent OnWriteHeader;
    TWriteFrameEvent OnWriteFrame;
    TFrameOutputNotifyEvent OnWriteClose;

private:
    int64_t identity_;
    POutputFrameInfo current_ = nullptr;
};
