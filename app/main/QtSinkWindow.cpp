#include "app/main/QtSinkWindow.h"

#include <QApplication>
#include <QString>
#include <utility>

#include "app/main/LogHandOff.h"
#include "app/widgets/BitmapImage.h"

TQtSinkWindow::TQtSinkWindow(TLogHandOff& log, TSinkWindowOwner& owner)
    : log_(log), owner_(owner) {}

TQtSinkWindow::~TQtSinkWindow() { ShowCursors(0); }

void TQtSinkWindow::LogLine(std::string_view line) {
    log_.Add(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
}

// The picture is copied here, on the conversion's thread; the frame it replaces, if the GUI
// thread never took it, goes once the lock is released.
void TQtSinkWindow::PreviewFrame(const TBitmap& frame, int frameNumber) {
    QImage picture = ImageOfBitmap(frame);
    {
        std::lock_guard<std::mutex> guard(lock_);
        std::swap(waiting_.Picture, picture);
        waiting_.FrameNumber = frameNumber;
    }
    flushCall_.Request();
}

void TQtSinkWindow::ShowPreview() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        waiting_.Reveal = true;
    }
    flushCall_.Request();
}

void TQtSinkWindow::SetBusyCursor(bool busy) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (busy)
            ++wantedCursors_;
        else if (wantedCursors_ > 0)
            --wantedCursors_;
    }
    flushCall_.Request();
}

void TQtSinkWindow::Flush() {
    TWaiting waiting;
    int cursors;
    {
        std::lock_guard<std::mutex> guard(lock_);
        std::swap(waiting, waiting_);
        cursors = wantedCursors_;
    }
    if (!waiting.Picture.isNull()) owner_.ShowPreviewFrame(waiting.Picture, waiting.FrameNumber);
    if (waiting.Reveal) owner_.RevealPreview();
    ShowCursors(cursors);
}

void TQtSinkWindow::ShowCursors(int wanted) {
    for (; cursorsSet_ < wanted; ++cursorsSet_) QApplication::setOverrideCursor(Qt::WaitCursor);
    for (; cursorsSet_ > wanted; --cursorsSet_) QApplication::restoreOverrideCursor();
}
