#pragma once
// Shared set-up of the option and opening tests: the libraries loaded, the engine log captured.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "engine/entrypoints/avutil.h"
#include "engine/entrypoints/swscale.h"
#include "engine/loader/FFLoad.h"
#include "engine/log/FFLog.h"
#include "engine/task/FFmpegTask.h"

namespace optiontest {

struct TLoggedLine {
    TLogLevel Level;
    std::string Text;
};

class TaskTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FFLoader().LoadLibs(FullLibrarySet)) << FFLoader().LastErrorMessage();
        savedAvLevel_ = libav::av_log_get_level();
        FFLogger().SetTriggerEventInMainThread(false);
        FFLogger().SetLogLevel(llDebug);
        FFLogger().OnLog = [this](const void*, uint32_t, TLogLevel level, const std::string& msg) {
            std::lock_guard<std::mutex> lock(linesLock_);
            lines_.push_back({level, msg});
        };
    }
    void TearDown() override {
        FFLogger().OnLog = nullptr;
        libav::av_log_set_level(savedAvLevel_);
    }

    // True when a line at this level holds the text.
    bool Logged(TLogLevel level, const std::string& text) {
        std::lock_guard<std::mutex> lock(linesLock_);
        for (const TLoggedLine& line : lines_)
            if (line.Level == level && line.Text.find(text) != std::string::npos) return true;
        return false;
    }
    size_t LineCount() {
        std::lock_guard<std::mutex> lock(linesLock_);
        return lines_.size();
    }

    // The FFmpegException text of parsing the options, or "" when parsing succeeded.
    static std::string ParseError(TCustomFFmpeg& task, const std::string& options) {
        try {
            task.ParseOptions(options);
        } catch (const FFmpegException& e) {
            return e.what();
        }
        return "";
    }

    static std::string CodecOpt(TCustomFFmpeg& task, const char* key) {
        const AVDictionaryEntry* e = libav::av_dict_get(task.CodecOpts, key, nullptr, 0);
        return e ? e->value : "<none>";
    }

private:
    std::mutex linesLock_;
    std::vector<TLoggedLine> lines_;
    int savedAvLevel_ = AV_LOG_INFO;
};

}  // namespace optiontest
