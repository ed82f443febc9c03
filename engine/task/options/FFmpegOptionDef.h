#pragma once
// One row of a conversion task's option table: name, flags, where the value goes, help.
#include <cstdint>
#include <string>
#include <variant>

#include "engine/task/options/FFmpegOptionsContext.h"

class TCustomFFmpeg;

namespace optflag {
constexpr int HasArg = 1;
constexpr int Bool = 2;
constexpr int Expert = 4;
constexpr int String = 8;
constexpr int Video = 16;
constexpr int Audio = 32;
constexpr int Grab = 64;
constexpr int Int = 128;
constexpr int Float = 256;
constexpr int Subtitle = 512;
constexpr int Int64 = 1024;
constexpr int Exit = 2048;
constexpr int Data = 4096;
constexpr int PerFile = 8192;
constexpr int Offset = 16384;
constexpr int Spec = 32768;
constexpr int Time = 65536;
constexpr int Double = 131072;
}  // namespace optflag

// A handler gets the task, the option name as written (specifier included) and its argument (""
// when the option takes none); PerFile handlers also get the option context being filled. It
// returns 0 or a negative error code.
using TOptionHandler = int (*)(TCustomFFmpeg& task, const std::string& opt, const std::string& arg);
using TPerFileOptionHandler = int (*)(TCustomFFmpeg& task, TOptionsContext& o,
                                      const std::string& opt, const std::string& arg);

// Where a row's value is stored: a handler, a field of the option context, or an option
// variable of the task. The field's type matches the row's typed flag. Alias rows have none.
using TOptionTarget = std::variant<
    std::monostate, TOptionHandler, TPerFileOptionHandler, std::string TOptionsContext::*,
    int TOptionsContext::*, int64_t TOptionsContext::*, float TOptionsContext::*,
    TSpecifierList<std::string> TOptionsContext::*, TSpecifierList<int> TOptionsContext::*,
    TSpecifierList<int64_t> TOptionsContext::*, TSpecifierList<float> TOptionsContext::*,
    TSpecifierList<double> TOptionsContext::*, std::string TCustomFFmpeg::*, int TCustomFFmpeg::*,
    int64_t TCustomFFmpeg::*, float TCustomFFmpeg::*, double TCustomFFmpeg::*>;

struct TOptionDef {
    std::string Name;  // empty for the end row
    int Flags = 0;
    TOptionTarget Target;
    std::string Help;
    std::string ArgName;
    // The option this one is another name for ("frames:v" for -vframes): its argument is parsed
    // as that option's, whatever specifier the name was written with. Empty for most rows.
    std::string Alias;

    bool IsHandler() const {
        return std::holds_alternative<TOptionHandler>(Target) ||
               std::holds_alternative<TPerFileOptionHandler>(Target);
    }
    bool IsAlias() const { return !Alias.empty(); }
};
