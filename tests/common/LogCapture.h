#pragma once
// Collects the lines the engine log delivers, for suites that check what was logged.
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "engine/log/FFLog.h"

namespace testsupport {

struct TLoggedLine {
    TLogLevel Level = llQuiet;
    std::string Text;
};

// While it lives it is the logger's OnLog handler, called on the logging thread itself, and
// keeps every line the logger lets through (the logger's LogLevel decides which). At
// destruction the logger gets its earlier handler and thread setting back.
class TLogCapture {
public:
    explicit TLogCapture(TFFLogger& logger = FFLogger());
    ~TLogCapture();
    TLogCapture(const TLogCapture&) = delete;
    TLogCapture& operator=(const TLogCapture&) = delete;

    std::vector<TLoggedLine> Lines();
    // The texts of the lines at llError or a more severe level.
    std::vector<std::string> Errors();
    // True when a line of this level holds the text.
    bool Logged(TLogLevel level, const std::string& text);
    // The last line; an empty one at llQuiet when nothing was logged.
    TLoggedLine Last();
    size_t Count();

private:
    TFFLogger& logger_;
    TLogEvent earlierHandler_;
    bool earlierTrigger_;
    std::mutex mutex_;
    std::vector<TLoggedLine> lines_;
};

}  // namespace testsupport
