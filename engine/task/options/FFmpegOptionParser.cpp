// Option strings and preset texts into the option context, the option variables and the
// library option sets.
#include "engine/task/options/FFmpegOptionHandlers.h"

#include <algorithm>
#include <cctype>

#include "engine/core/ErrorCodes.h"
#include "engine/core/FFUtils.h"
#include "engine/core/TextFormat.h"
#include "engine/entrypoints/avutil.h"
#include "engine/task/options/FFmpegOptionValues.h"
#include "engine/task/options/FFmpegTokenizer.h"

namespace {

std::string NamePart(const std::string& name) { return name.substr(0, name.find(':')); }

std::string SpecifierPart(const std::string& name) {
    const size_t colon = name.find(':');
    return colon == std::string::npos ? std::string() : name.substr(colon + 1);
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// Every line break form becomes a line feed, and so does the one-line marker "<CRLF>".
std::string NormaliseLineBreaks(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (text.compare(i, 6, "<CRLF>") == 0) {
            out += '\n';
            i += 5;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Stores a parsed value into the target a table row names.
struct TValueStore {
    TCustomFFmpeg& task;
    TOptionsContext& o;
    const std::string& specifier;
    const TOptionValue& value;

    void operator()(std::monostate) {}
    void operator()(TOptionHandler) {}
    void operator()(TPerFileOptionHandler) {}
    template <typename T>
    void operator()(T TOptionsContext::*field) {
        Put(o.*field);
    }
    template <typename T>
    void operator()(T TCustomFFmpeg::*field) {
        Put(task.*field);
    }

    template <typename T>
    void Put(TSpecifierList<T>& list) {
        GrowArray(list, static_cast<int>(list.size()) + 1);
        list.back().Specifier = specifier;
        list.back().Value = std::get<T>(value);
    }
    template <typename T>
    void Put(T& field) {
        field = std::get<T>(value);
    }
};

TOptionValue ParseTypedValue(int flags, const std::string& name, const std::string& arg,
                             bool boolValue) {
    using namespace optflag;
    if (flags & String) return arg;
    if (flags & Bool) return boolValue ? 1 : 0;
    if (flags & Int) return ParseIntArgument(name, arg);
    if (flags & Int64) return ParseInt64Argument(name, arg);
    if (flags & Time) return ParseDurationArgument(name, arg);
    if (flags & Float) return ParseFloatArgument(name, arg);
    return ParseDoubleArgument(name, arg);
}

void StoreOptionValue(TCustomFFmpeg& task, TOptionsContext& o, const TOptionDef& po,
                      const std::string& name, const std::string& arg, bool boolValue) {
    const TOptionValue value = ParseTypedValue(po.Flags, name, arg, boolValue);
    const std::string specifier = (po.Flags & optflag::Spec) ? SpecifierPart(name) : "";
    std::visit(TValueStore{task, o, specifier, value}, po.Target);
}

// Runs a row's handler, or parses the argument as the option an alias row stands for. A failure
// adds "Failed to set value ..." to what the handler left in LastParseError.
int CallHandler(TCustomFFmpeg& task, TOptionsContext& o, const TOptionDef& po,
                const std::string& name, const std::string& arg) {
    task.LastParseError.clear();
    int ret = 0;
    if (po.IsAlias())
        ret = task.ParseOption(o, po.Alias, arg.c_str());
    else if (const auto* perFile = std::get_if<TPerFileOptionHandler>(&po.Target))
        ret = (*perFile)(task, o, name, arg);
    else
        ret = std::get<TOptionHandler>(po.Target)(task, name, arg);
    if (ret < 0) {
        const std::string text =
            StrFormat("Failed to set value \"%s\" for option \"%s\"", arg.c_str(), name.c_str());
        AddParseError(task, text);
        LogLibraryError(text);
    }
    return ret;
}

// The tokens of an option string: "-name" tokens with their arguments, in order. Strict parsing
// stops at the first failure; lenient parsing skips what it cannot use.
int ParseOptionList(TCustomFFmpeg& task, const std::vector<std::string>& tokens, bool strict) {
    size_t i = 0;
    while (i < tokens.size()) {
        const std::string& token = tokens[i++];
        if (token.size() > 1 && token[0] == '-') {
            task.LastParseError.clear();
            const char* arg = i < tokens.size() ? tokens[i].c_str() : nullptr;
            const int ret = task.ParseOption(task.Options, token.substr(1), arg);
            if (ret < 0) {
                if (!strict) continue;
                if (task.LastParseError.empty())
                    task.LastParseError = ErrorText("Failed to parse options", ret);
                return ret;
            }
            i += ret;
            continue;
        }
        if (!strict) {
            task.Log(llWarning, "Invalid option found while parsing options, ignore");
            continue;
        }
        task.LastParseError = token.empty() ? std::string("Failed to parse options")
                                            : "Failed to parse options on " + token;
        LogLibraryError(task.LastParseError);
        return kErrorOther;
    }
    return 0;
}

}  // namespace

const TOptionDef& TCustomFFmpeg::FindOption(const std::string& name) {
    const std::vector<TOptionDef>& table = OptionTable();
    const std::string wanted = NamePart(name);
    for (const TOptionDef& row : table)
        if (!row.Name.empty() && row.Name == wanted) return row;
    return table.back();
}

int TCustomFFmpeg::LocateOption(const std::vector<std::string>& tokens, const std::string& name) {
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].empty() || tokens[i][0] != '-') continue;
        const std::string cur = tokens[i].substr(1);
        const TOptionDef* po = &FindOption(cur);
        if (po->Name.empty() && StartsWith(cur, "no")) po = &FindOption(cur.substr(2));
        if ((po->Name.empty() && cur == name) || (!po->Name.empty() && po->Name == name))
            return static_cast<int>(i);
        if (po->Flags & optflag::HasArg) ++i;
    }
    return -1;
}

void TCustomFFmpeg::ParseOptions(const std::string& options) {
    if (options.empty()) return;
    Log(llInfo, "ParseOptions: " + options);
    const std::vector<std::string> tokens = SplitCommandLine(options);
    int idx = LocateOption(tokens, "loglevel");
    if (idx < 0) idx = LocateOption(tokens, "v");
    if (idx >= 0 && idx + 1 < static_cast<int>(tokens.size()))
        ParseOption(Options, "loglevel", tokens[idx + 1].c_str());
    const int ret = ParseOptionList(*this, tokens, StrictOptions);
    if (ret < 0 && StrictOptions) {
        if (!LastParseError.empty()) FatalError(LastParseError);
        FatalError(ErrorText("Failed to parse options", ret));
    }
}

void AddParseError(TCustomFFmpeg& task, const std::string& text) {
    task.LastParseError = task.LastParseError.empty() ? text : task.LastParseError + "\r\n" + text;
}

void LogLibraryError(const std::string& text) {
    libav::av_log(nullptr, AV_LOG_ERROR, "%s\n", text.c_str());
}

int TCustomFFmpeg::ParseOption(TOptionsContext& o, const std::string& name, const char* arg) {
    const TOptionDef* po = &FindOption(name);
    bool boolValue = true;
    bool unrecognized = false;
    if (po->Name.empty() && StartsWith(name, "no")) {
        po = &FindOption(name.substr(2));
        if (!po->Name.empty() && (po->Flags & optflag::Bool))
            boolValue = false;
        else
            unrecognized = true;
    }
    if (!unrecognized && po->Name.empty()) po = &FindOption("default");
    if (unrecognized || po->Name.empty()) {
        LastParseError = StrFormat("Unrecognized option \"%s\"", name.c_str());
        LogLibraryError(LastParseError);
        return kErrorInvalidArgument;
    }
    if ((po->Flags & optflag::HasArg) && !arg) {
        LastParseError = StrFormat("Missing argument for option \"%s\"", name.c_str());
        LogLibraryError(LastParseError);
        return kErrorInvalidArgument;
    }
    const std::string argument = arg ? arg : "";
    if (po->IsHandler() || po->IsAlias()) {
        const int ret = CallHandler(*this, o, *po, name, argument);
        if (ret < 0) return ret;
    } else {
        StoreOptionValue(*this, o, *po, name, argument, boolValue);
    }
    return (po->Flags & optflag::HasArg) ? 1 : 0;
}

int ApplyPresetLine(TCustomFFmpeg& task, TOptionsContext& o, const std::string& key,
                    const std::string& value) {
    std::string lower = key;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "acodec" || lower == "vcodec" || lower == "scodec" || lower == "dcodec") {
        const int ret = task.ParseOption(o, lower, value.c_str());
        return ret < 0 ? ret : 0;
    }
    return task.SetGenericOption(key, value);
}

void TCustomFFmpeg::ParsePresets(const std::string& presets) {
    if (presets.empty()) return;
    Log(llInfo, "ParsePresets: " + presets);
    LastParseError.clear();
    const std::string text = NormaliseLineBreaks(Trim(presets));
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = Trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == '#') continue;
        const size_t eq = line.find('=');
        const std::string key = line.substr(0, eq);
        const std::string value = eq == std::string::npos ? "" : line.substr(eq + 1);
        if (key.empty() || value.empty()) {
            LastParseError = StrFormat("Invalid syntax: \"%s\"", line.c_str());
            if (StrictOptions) FatalError(LastParseError);
            Log(llError, LastParseError);
        }
        if (ApplyPresetLine(*this, Options, key, value) < 0) {
            const std::string text2 =
                StrFormat("Invalid option or argument: \"%s\", parsed as \"%s\" = \"%s\"",
                          line.c_str(), key.c_str(), value.c_str());
            Log(llError, text2);
            AddParseError(*this, text2);
            if (StrictOptions) FatalError(LastParseError);
        }
    }
}
