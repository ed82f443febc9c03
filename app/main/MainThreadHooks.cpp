#include "app/main/MainThreadHooks.h"

#include <QCoreApplication>
#include <QEvent>

#include "platform/MainThread.h"

namespace {

QEvent::Type SynchronizeEventType() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

}  // namespace

TMainThreadHooks::TMainThreadHooks() {
    SetMainThread();
    // postEvent may be called from any thread; the event is handled on this object's thread.
    SetWakeMainThreadHook(
        [this] { QCoreApplication::postEvent(this, new QEvent(SynchronizeEventType())); });
    SetProcessPendingMessagesHook([] { QCoreApplication::processEvents(); });
}

TMainThreadHooks::~TMainThreadHooks() {
    SetWakeMainThreadHook(nullptr);
    SetProcessPendingMessagesHook(nullptr);
    QCoreApplication::removePostedEvents(this, SynchronizeEventType());
    // Calls queued before the hooks went are still run.
    CheckSynchronize();
}

bool TMainThreadHooks::event(QEvent* event) {
    if (event->type() != SynchronizeEventType()) return QObject::event(event);
    CheckSynchronize();
    return true;
}
