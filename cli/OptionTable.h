#pragma once
// The options of clipgif-cli as typed rows: names, the kind of value, the field the value goes
// to, its range or choices, the options it excludes and its help. The parser, its usage errors
// and the help are all made from these rows; a new option is a new row.
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "cli/CliOptions.h"

// What an option takes, which decides how its value is read and checked.
enum class TOptionKind {
    Switch,     // no value: sets its bool
    SwitchOff,  // no value: clears its bool (the --no-... options)
    Integer,    // a whole number within the row's range
    Number,     // a decimal number within the row's range (12.5)
    Time,       // seconds or [hh:]mm:ss[.fff], stored in microseconds
    FrameSize,  // WxH or a name of the options dialog's size list
    Choice,     // one of the row's choices, in any case; stored as its position in the list
    Path,       // a file name, not empty
    ByteSize,   // bytes, or a size with K or M in units of 1024 (8M), above 0
};

// The bounds of an Integer or Number value, both included unless AboveLowest.
struct TValueRange {
    double Lowest = 0;
    double Highest = 0;
    bool AboveLowest = false;  // the lowest bound itself is refused: a rate above 0
};

// The field a row's value goes to: one of the conversion settings, of their timing, or of the
// request. Its type fits the row's kind: bool for switches, an integer for Integer, an enum for
// Choice (the choices in the order of its values), double for Number, int64_t microseconds for
// Time, int64_t bytes for ByteSize, TFrameSize, std::string for Path. monostate: the row only
// selects its action.
using TOptionTarget = std::variant<
    std::monostate, bool TConvertSettings::*, int TConvertSettings::*, int64_t TConvertSettings::*,
    double TConvertSettings::*, std::string TConvertSettings::*, TFrameSize TConvertSettings::*,
    TDitherChoice TConvertSettings::*, TFrameColors TConvertSettings::*,
    bool TFrameTimingOptions::*, int TFrameTimingOptions::*, std::string TCliRequest::*>;

// What else the command line may hold beside the option.
enum class TOptionLimit {
    None,
    OneFile,  // one FILE to convert, not several
    Alone,    // nothing but the option and its own argument
};

// Every field has an initializer: a row names only the fields it uses.
struct TCliOption {
    std::string Short{};     // "-s"; empty when there is none
    std::string Long{};      // "--size"
    std::string Argument{};  // "SIZE"; empty for switches
    TOptionKind Kind = TOptionKind::Switch;
    TOptionTarget Target{};
    // What the command line asks for when the option is in it.
    TCliAction Action = TCliAction::Convert;
    std::optional<TValueRange> Range{};   // Integer and Number
    std::vector<std::string> Choices{};   // Choice
    std::vector<std::string> Excludes{};  // long names; each pair is written in one of its rows
    TOptionLimit Limit = TOptionLimit::None;
    // The value as usage errors and the help name it ("a frame rate"); empty: the kind's own.
    std::string Noun{};
    std::string Help{};  // what it does and what it costs
};

// Every option, in the order of the help.
std::span<const TCliOption> CliOptionTable();

// The row called `name` ("-s" or "--size"); null when there is none.
const TCliOption* FindCliOption(const std::string& name);

// Whether the two options cannot be given together.
bool OptionsExclude(const TCliOption& a, const TCliOption& b);
