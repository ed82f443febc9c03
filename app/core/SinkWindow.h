#pragma once
// What the frame sink asks of the window it works for: log lines, the preview of the frames and
// the busy cursor. The desktop program hands each call over to its GUI thread; the command line
// prints or ignores them. The sink calls these on the thread that runs the conversion.
#include <string_view>

class TBitmap;

class TSinkWindow {
public:
    virtual ~TSinkWindow() = default;

    // Appends one line to the log. The text is only valid during the call.
    virtual void LogLine(std::string_view line) = 0;

    // Whether frames are to be previewed while encoding; asked once per frame.
    virtual bool PreviewWanted() { return false; }
    // The preview takes the frame: its client size becomes the frame's, its caption "#N" with
    // the frame number, its image a copy of `frame` (only valid during the call).
    virtual void PreviewFrame(const TBitmap& frame, int frameNumber) {
        (void)frame;
        (void)frameNumber;
    }
    // Makes the preview visible, once the frame is in the document.
    virtual void ShowPreview() {}

    // The hourglass while the document is being saved, the default cursor again afterwards.
    virtual void SetBusyCursor(bool busy) { (void)busy; }
};
