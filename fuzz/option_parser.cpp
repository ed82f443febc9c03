// Fuzz target: an option string split into tokens and parsed into a task's option context, or
// read as preset text (key=value lines), with the FFmpeg libraries loaded as the programs load
// them.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "engine/entrypoints/avutil.h"
#include "engine/loader/FFLoad.h"
#include "engine/log/FFLog.h"
#include "engine/task/FFmpegTask.h"
#include "engine/task/options/FFmpegTokenizer.h"
#include "platform/Exception.h"

namespace {

// Options whose effect reaches beyond the task: loading modules, reading files named in the
// input, and process-wide library settings that would change how later inputs run.
bool ReachesBeyondTheTask(const std::string& text) {
    static const std::set<std::string> names = {"vhook", "fpre",      "apre",     "vpre",
                                                "spre",  "max_alloc", "loglevel", "v"};
    for (const std::string& token : SplitCommandLine(text)) {
        size_t start = 0;
        while (start < token.size() && token[start] == '-') ++start;
        const std::string name = token.substr(start, token.find(':', start) - start);
        if (names.count(name) || names.count("no" + name)) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!FFLoader().LoadLibs(FullLibrarySet)) __builtin_trap();
    FFLogger().SetLogLevel(llQuiet);
    libav::av_log_set_level(AV_LOG_QUIET);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The first byte chooses how the rest is read.
    const uint8_t mode = data[0];
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    if (ReachesBeyondTheTask(text)) return 0;
    TCustomFFmpeg task;
    task.StrictOptions = (mode & 1) != 0;
    try {
        if (mode & 2)
            task.ParsePresets(text);
        else
            task.ParseOptions(text);
    } catch (const Exception&) {}
    return 0;
}
