#pragma once
// Shared set-up of the conversion suites: the libraries loaded, the frame output formats
// listed, the engine log captured; tasks opened from option strings as the encoder component
// opens them, and the events of a frame output adapter recorded.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/entrypoints/avcodec.h"
#include "engine/entrypoints/avutil.h"
#include "engine/loader/FFLoad.h"
#include "engine/log/FFLog.h"
#include "engine/output/FrameOutput.h"
#include "engine/output/FrameOutputFormats.h"
#include "engine/task/FFmpegTask.h"
#include "tests/common/LogCapture.h"
#include "tests/common/TestSupport.h"

namespace transcodetest {

// What a frame output adapter raised: one entry per event, the frames' sizes and numbers, and
// the first frame's pixels.
struct TFrameRecorder {
    int Headers = 0;
    int Closes = 0;
    int Width = 0;
    int Height = 0;
    int PixelFormat = -1;
    std::vector<int> Numbers;
    std::vector<int> Sizes;
    std::vector<uint8_t> FirstFrame;
    std::vector<uint8_t> LastFrame;

    void Attach(TFrameOutputAdapter& adapter) {
        adapter.OnWriteHeader = [this](TFrameOutputAdapter* sender) {
            Headers++;
            const POutputFrameInfo info = sender->CurrentFrameInfo();
            Width = info->Width;
            Height = info->Height;
            PixelFormat = info->PixelFormat;
        };
        adapter.OnWriteFrame = [this](TFrameOutputAdapter*, POutputFrameInfo info) {
            Numbers.push_back(info->FrameNumber);
            Sizes.push_back(info->Packet->size);
            LastFrame.assign(info->Packet->data, info->Packet->data + info->Packet->size);
            if (FirstFrame.empty()) FirstFrame = LastFrame;
        };
        adapter.OnWriteClose = [this](TFrameOutputAdapter*) { Closes++; };
    }
};

class TranscodeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(FFLoader().LoadLibs(FullLibrarySet)) << FFLoader().LastErrorMessage();
        RegisterFrameOutputFormats();
        dir_ = std::make_unique<testsupport::TempDir>();
    }
    static void TearDownTestSuite() { dir_.reset(); }
    void SetUp() override {
        savedAvLevel_ = libav::av_log_get_level();
        FFLogger().SetLogLevel(llVerbose);
    }
    void TearDown() override {
        // CLIPGIF_TEST_LOG=1 shows what the engine logged (when looking into a failure)
        if (std::getenv("CLIPGIF_TEST_LOG"))
            for (const testsupport::TLoggedLine& line : log_.Lines())
                std::printf("[%d] %s\n", static_cast<int>(line.Level), line.Text.c_str());
        FFLogger().SetLogLevel(llInfo);
        libav::av_log_set_level(savedAvLevel_);
    }

    static std::string File(const std::string& name) { return dir_->File(name); }
    // A clip made once per suite with the ffmpeg tool.
    static std::string Clip(const std::string& name, const std::string& args) {
        const std::string path = File(name);
        if (!testsupport::FileExists(path)) testsupport::MakeMedia(args, path);
        return path;
    }

    // Opens the input and the output of a task from their option strings.
    static void Open(TCustomFFmpeg& task, const std::string& input, const std::string& inputOptions,
                     const std::string& output, const std::string& outputOptions) {
        if (!inputOptions.empty()) task.ParseOptions(inputOptions);
        ASSERT_GE(task.OpenInputFile(nullptr, input), 0) << task.LastError;
        if (!outputOptions.empty()) task.ParseOptions(outputOptions);
        ASSERT_GE(task.OpenOutputFile(output, false), 0) << task.LastError;
    }

    // The FFmpegException text of the conversion, "" when it succeeded.
    static std::string TranscodeError(TCustomFFmpeg& task) {
        return testsupport::ErrorOf<FFmpegException>([&] { task.Transcode(); });
    }

    bool Logged(TLogLevel level, const std::string& text) { return log_.Logged(level, text); }
    size_t CountLines(const std::string& text) {
        size_t count = 0;
        for (const testsupport::TLoggedLine& line : log_.Lines())
            if (line.Text.find(text) != std::string::npos) count++;
        return count;
    }
    std::vector<testsupport::TLoggedLine> Lines() { return log_.Lines(); }

    static std::unique_ptr<testsupport::TempDir> dir_;

private:
    testsupport::TLogCapture log_;
    int savedAvLevel_ = AV_LOG_INFO;
};

inline std::unique_ptr<testsupport::TempDir> TranscodeTest::dir_;

// One value ffprobe reports of a file, e.g. Probe(file, "-select_streams v:0 -count_frames
// -show_entries stream=nb_read_frames").
inline std::string Probe(const std::string& file, const std::string& args) {
    const testsupport::CommandResult r = testsupport::Run(
        "ffprobe -v error " + args + " -of default=nw=1:nk=1 " + testsupport::ShellQuote(file));
    std::string out = r.output;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

}  // namespace transcodetest
