#pragma once
// Helpers for engine tests that run the real media libraries: loading them through the engine's
// loader and collecting the engine log's lines.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "engine/FFLoad.h"
#include "engine/FFLog.h"

namespace mediatest {

// Loads every media library (from the system) or fails the calling test.
inline void LoadMediaLibraries() {
    TFFLoader& loader = FFLoader();
    ASSERT_TRUE(loader.LoadLibs(FullLibrarySet)) << loader.LastErrorMessage();
}

// Collects the engine log's lines while it lives.
class TLogCapture {
public:
    TLogCapture() {
        FFLogger().SetTriggerEventInMainThread(false);
        FFLogger().OnLog = [this](const void*, uint32_t, TLogLevel level, const std::string& line) {
            std::lock_guard<std::mutex> guard(mutex_);
            lines_.push_back({level, line});
        };
    }
    ~TLogCapture() { FFLogger().OnLog = nullptr; }

    // The error lines so far.
    std::vector<std::string> Errors() {
        std::lock_guard<std::mutex> guard(mutex_);
        std::vector<std::string> errors;
        for (const auto& [level, line] : lines_) {
            if (level <= llError) errors.push_back(line);
        }
        return errors;
    }
    bool HasError(const std::string& line) {
        for (const std::string& error : Errors()) {
            if (error == line) return true;
        }
        return false;
    }

private:
    std::mutex mutex_;
    std::vector<std::pair<TLogLevel, std::string>> lines_;
};

}  // namespace mediatest
