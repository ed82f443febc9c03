#include "cli/Console.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>

namespace {

constexpr int kDefaultColumns = 80;
// Back to the start of the line, and the rest of it cleared.
constexpr const char* kClearLine = "\r\x1b[K";

}  // namespace

TConsole::TConsole(bool showBar) : showBar_(showBar) {}

TConsole::~TConsole() { ClearBar(); }

void TConsole::Erase() {
    if (bar_.empty()) return;
    std::fputs(kClearLine, stderr);
}

void TConsole::Draw() {
    if (bar_.empty()) return;
    std::fputs(bar_.c_str(), stderr);
    std::fflush(stderr);
}

void TConsole::Line(std::string_view line) {
    std::lock_guard<std::mutex> guard(lock_);
    Erase();
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fputc('\n', stderr);
    Draw();
    std::fflush(stderr);
}

void TConsole::Bar(const std::string& text) {
    if (!showBar_) return;
    std::lock_guard<std::mutex> guard(lock_);
    Erase();
    bar_ = text;
    Draw();
}

void TConsole::ClearBar() {
    std::lock_guard<std::mutex> guard(lock_);
    Erase();
    bar_.clear();
    std::fflush(stderr);
}

int TConsole::Columns() const {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return kDefaultColumns;
}
