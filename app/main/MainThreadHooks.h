#pragma once
// Connects the main-thread call queue (platform/MainThread.h) to Qt's event loop: a call queued
// from another thread posts an event whose handler runs the queue on the GUI thread, and waiting
// code that processes pending messages processes Qt's events. While the object lives the hooks
// are in place; the thread that makes it becomes the main thread.
#include <QObject>

class TMainThreadHooks : public QObject {
public:
    TMainThreadHooks();
    ~TMainThreadHooks() override;
    TMainThreadHooks(const TMainThreadHooks&) = delete;
    TMainThreadHooks& operator=(const TMainThreadHooks&) = delete;

protected:
    bool event(QEvent* event) override;
};
