#pragma once
// Helpers for engine tests that run the real media libraries: loading them through the engine's
// loader and collecting the engine log's error lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "engine/loader/FFLoad.h"
#include "engine/log/FFLog.h"

namespace mediatest {

inline void LoadMediaLibraries() {
    ASSERT_TRUE(FFLoader().LoadLibs(FullLibrarySet)) << FFLoader().LastErrorMessage();
}

// Collects the engine log's error lines while it lives.
class TLogCapture {
public:
    TLogCapture() {
        FFLogger().SetTriggerEventInMainThread(false);
        FFLogger().OnLog = [this](const void*, uint32_t, TLogLevel level, const std::string& line) {
            std::lock_guard<std::mutex> guard(mutex_);
            if (level <= llError) errors_.push_back(line);
        };
    }
    ~TLogCapture() { FFLogger().OnLog = nullptr; }

    std::vector<std::string> Errors() {
        std::lock_guard<std::mutex> guard(mutex_);
        return errors_;
    }
    // True when an error line ends with `text` (lines about a libav context start with its name).
    bool Logged(const std::string& text) {
        const std::vector<std::string> errors = Errors();
        return std::any_of(errors.begin(), errors.end(), [&](const std::string& line) {
            return line.size() >= text.size() && line.ends_with(text);
        });
    }

private:
    std::mutex mutex_;
    std::vector<std::string> errors_;
};

}  // namespace mediatest
