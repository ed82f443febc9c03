#pragma once
// TLogHandOff: lines for the main window's log from any thread, written on the GUI thread in
// the order they were added. A thread other than the GUI thread never waits for it: its lines
// join a queue, which a queued call writes. A line added on the GUI thread is written at once,
// after the lines still waiting, so the window's own messages (the end of a run among them)
// always follow what the conversion's threads logged before them.
#include <QObject>
#include <QString>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

#include "app/main/HandOverCall.h"

class TLogHandOff : public QObject {
public:
    using TWriter = std::function<void(const QString& line)>;

    // `write` writes one line; it runs on the thread that makes the object (the GUI thread).
    // At most `lineLimit` lines wait, the newest: the log keeps no more lines than that, so
    // older ones would only be written to be dropped.
    TLogHandOff(TWriter write, int lineLimit);

    // Any thread.
    void Add(QString line);
    // GUI thread: writes the waiting lines now.
    void Flush();

private:
    TWriter write_;
    const size_t lineLimit_;
    std::mutex lock_;
    std::deque<QString> waiting_;
    THandOverCall writeCall_{*this, [this] { Flush(); }};
};
