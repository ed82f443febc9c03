#pragma once
// The frame sink's window on the command line: its log lines go to stderr with -v, nothing is
// previewed and there is no cursor to change.
#include "app/core/SinkWindow.h"
#include "cli/Console.h"

class TConsoleSinkWindow : public TSinkWindow {
public:
    TConsoleSinkWindow(TConsole& console, bool verbose) : console_(console), verbose_(verbose) {}

    void LogLine(std::string_view line) override {
        if (verbose_) console_.Line(line);
    }

private:
    TConsole& console_;
    const bool verbose_;
};
