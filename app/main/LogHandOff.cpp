#include "app/main/LogHandOff.h"

#include <algorithm>
#include <utility>

TLogHandOff::TLogHandOff(TWriter write, int lineLimit)
    : write_(std::move(write)), lineLimit_(static_cast<size_t>(std::max(lineLimit, 1))) {}

void TLogHandOff::Add(QString line) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        waiting_.push_back(std::move(line));
        if (waiting_.size() > lineLimit_) waiting_.pop_front();
    }
    writeCall_.Request();
}

// Lines added meanwhile wait for the next call: they come after these.
void TLogHandOff::Flush() {
    std::deque<QString> lines;
    {
        std::lock_guard<std::mutex> guard(lock_);
        lines.swap(waiting_);
    }
    for (const QString& line : lines) write_(line);
}
