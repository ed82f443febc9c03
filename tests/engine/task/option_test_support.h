#pragma once
// Shared set-up of the option and opening tests: the libraries loaded, the engine log captured.
#include <gtest/gtest.h>

#include <string>

#include "engine/entrypoints/avutil.h"
#include "engine/entrypoints/swscale.h"
#include "engine/loader/FFLoad.h"
#include "engine/log/FFLog.h"
#include "engine/task/FFmpegTask.h"
#include "tests/common/LogCapture.h"
#include "tests/common/TestSupport.h"

namespace optiontest {

class TaskTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FFLoader().LoadLibs(FullLibrarySet)) << FFLoader().LastErrorMessage();
        savedAvLevel_ = libav::av_log_get_level();
        FFLogger().SetLogLevel(llDebug);
    }
    void TearDown() override { libav::av_log_set_level(savedAvLevel_); }

    // True when a line at this level holds the text.
    bool Logged(TLogLevel level, const std::string& text) { return log_.Logged(level, text); }
    size_t LineCount() { return log_.Count(); }

    // The FFmpegException text of parsing the options, or "" when parsing succeeded.
    static std::string ParseError(TCustomFFmpeg& task, const std::string& options) {
        return testsupport::ErrorOf<FFmpegException>([&] { task.ParseOptions(options); });
    }

    static std::string CodecOpt(TCustomFFmpeg& task, const char* key) {
        const AVDictionaryEntry* e = libav::av_dict_get(task.CodecOpts, key, nullptr, 0);
        return e ? e->value : "<none>";
    }

private:
    testsupport::TLogCapture log_;
    int savedAvLevel_ = AV_LOG_INFO;
};

}  // namespace optiontest
