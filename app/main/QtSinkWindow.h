#pragma once
// TQtSinkWindow: what the frame sink shows, handed to the main window's GUI thread. The sink
// calls it on the conversion's thread, which never waits for the GUI: log lines go to the log
// hand-off, in order; the newest frame waits in one slot, a newer frame replacing one not yet
// shown, so a GUI that falls behind costs one picture of memory and skips frames instead of
// slowing the conversion; the preview's showing and the busy cursor wait beside it. One queued
// call hands what waits to the window through TSinkWindowOwner. On the GUI thread itself every
// call takes effect at once.
#include <QImage>
#include <QObject>
#include <atomic>
#include <mutex>

#include "app/core/SinkWindow.h"
#include "app/main/HandOverCall.h"

class TLogHandOff;

// What the sink window asks of the window it works for; called on the GUI thread.
class TSinkWindowOwner {
public:
    // The preview takes the frame: client size, caption "#N" and picture.
    virtual void ShowPreviewFrame(const QImage& picture, int frameNumber) = 0;
    // The preview becomes visible, while previews are wanted.
    virtual void RevealPreview() = 0;

protected:
    ~TSinkWindowOwner() = default;
};

class TQtSinkWindow : public QObject, public TSinkWindow {
public:
    TQtSinkWindow(TLogHandOff& log, TSinkWindowOwner& owner);
    // Restores the cursor if the sink left it busy.
    ~TQtSinkWindow() override;

    void LogLine(std::string_view line) override;
    bool PreviewWanted() override { return previewWanted_; }
    void PreviewFrame(const TBitmap& frame, int frameNumber) override;
    void ShowPreview() override;
    void SetBusyCursor(bool busy) override;

    // The state of "Preview while encoding", kept here for the conversion's thread to read.
    void SetPreviewWanted(bool wanted) { previewWanted_ = wanted; }

    // GUI thread: hands over what waits now (the newest frame, the preview's showing, the
    // cursor), so that what follows comes after it.
    void Flush();

private:
    // What waits for the GUI thread, besides the cursor.
    struct TWaiting {
        QImage Picture;  // null: no frame waits
        int FrameNumber = 0;
        bool Reveal = false;
    };

    void ShowCursors(int wanted);

    TLogHandOff& log_;
    TSinkWindowOwner& owner_;
    std::atomic<bool> previewWanted_{true};
    std::mutex lock_;
    TWaiting waiting_;
    int wantedCursors_ = 0;  // busy cursors the sink asked for and has not taken back
    int cursorsSet_ = 0;     // override cursors set and not yet restored (GUI thread only)
    THandOverCall flushCall_{*this, [this] { Flush(); }};
};
