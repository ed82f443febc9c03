#pragma once
// TQtSinkWindow: what the frame sink shows, in the main window. The sink calls it on the
// conversion's thread; every call that touches a window is handed over to the GUI thread and
// waited for, so the log keeps the frames' order and a frame's picture is taken before the sink
// goes on. Log lines go to the main window's log, frames to its preview window (client size,
// caption "#N", a copy of the picture, visibility), the busy cursor to the application's
// override cursor. A waiting Stop of the encoder runs these hand-overs while it waits.
#include <atomic>

#include "app/core/SinkWindow.h"

class TfrmFrameOutput;

class TQtSinkWindow : public TSinkWindow {
public:
    explicit TQtSinkWindow(TfrmFrameOutput& form) : form_(form) {}

    void LogLine(std::string_view line) override;
    bool PreviewWanted() override { return previewWanted_; }
    void PreviewFrame(const TBitmap& frame, int frameNumber) override;
    void ShowPreview() override;
    void SetBusyCursor(bool busy) override;

    // The state of "Preview while encoding", kept here for the conversion's thread to read.
    void SetPreviewWanted(bool wanted) { previewWanted_ = wanted; }

private:
    TfrmFrameOutput& form_;
    std::atomic<bool> previewWanted_{true};
    int busy_ = 0;  // override cursors set and not yet restored (GUI thread only)
};
