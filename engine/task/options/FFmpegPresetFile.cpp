// -apre, -vpre, -spre, -fpre: key=value lines of a preset file applied as options.
#include "engine/task/options/FFmpegOptionHandlers.h"

#include <fstream>

#include "engine/core/TextFormat.h"

int OptPreset(TCustomFFmpeg& task, TOptionsContext& o, const std::string&, const std::string& arg) {
    std::ifstream file(arg);
    if (!file) return LogHandlerError(task, StrFormat("Preset file \"%s\" not found", arg.c_str()));
    std::string raw;
    while (std::getline(file, raw)) {
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == '#') continue;
        const size_t eq = line.find('=');
        const std::string key = line.substr(0, eq);
        const std::string value = eq == std::string::npos ? "" : line.substr(eq + 1);
        if (key.empty() || value.empty())
            return LogHandlerError(
                task, StrFormat("%s: Invalid syntax: \"%s\"", arg.c_str(), line.c_str()));
        const int ret = ApplyPresetLine(task, o, key, value);
        if (ret >= 0) continue;
        const std::string text =
            StrFormat("%s: Invalid option or argument: \"%s\", parsed as \"%s\" = \"%s\"",
                      arg.c_str(), line.c_str(), key.c_str(), value.c_str());
        task.Log(llError, text);
        AddParseError(task, text);
        if (task.StrictOptions) return ret;
    }
    return 0;
}
