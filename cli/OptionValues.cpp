#include "cli/OptionValues.h"

#include <strings.h>

#include <charconv>
#include <type_traits>

#include "app/core/ByteSize.h"
#include "app/core/FrameLimits.h"
#include "app/core/FrameSizes.h"
#include "app/core/OptionStrings.h"
#include "app/core/TimeText.h"

namespace {

[[noreturn]] void Refuse(const TCliOption& row, const std::string& text) {
    throw TUsageError(row.Long + " takes " + ExpectedValueText(row) + ", not \"" + text + "\"");
}

// The whole of `text` as a number of type T; false for anything else.
template <class T>
bool ReadNumber(const std::string& text, T& number) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    return !text.empty() && error == std::errc() && stop == end;
}

// NaN is in no range.
bool InRange(const TCliOption& row, double number) {
    if (!row.Range) return true;
    const TValueRange& range = *row.Range;
    const bool aboveLowest = range.AboveLowest ? number > range.Lowest : number >= range.Lowest;
    return aboveLowest && number <= range.Highest;
}

int64_t ReadInteger(const TCliOption& row, const std::string& text) {
    int64_t number = 0;
    if (!ReadNumber(text, number) || !InRange(row, static_cast<double>(number))) Refuse(row, text);
    return number;
}

double ReadDecimal(const TCliOption& row, const std::string& text) {
    double number = 0;
    if (!ReadNumber(text, number) || !InRange(row, number)) Refuse(row, text);
    return number;
}

int64_t ReadTime(const TCliOption& row, const std::string& text) {
    int64_t microseconds = 0;
    if (!ParseTimeText(text, microseconds)) Refuse(row, text);
    return microseconds;
}

TFrameSize ReadFrameSize(const TCliOption& row, const std::string& text) {
    TFrameSize size;
    if (!ParseFrameSize(text, size.Width, size.Height)) Refuse(row, text);
    // 0 x 0 is the clip's own size
    if ((size.Width > 0 || size.Height > 0) && !WritableFrameSize(size.Width, size.Height))
        throw TUsageError(row.Long + " " + text + " " + TooLargeForFramesText());
    return size;
}

int64_t ReadByteSize(const TCliOption& row, const std::string& text) {
    const std::optional<int64_t> bytes = ParseByteSize(text);
    if (!bytes) Refuse(row, text);
    return *bytes;
}

int64_t ReadChoice(const TCliOption& row, const std::string& text) {
    for (size_t i = 0; i < row.Choices.size(); ++i)
        if (strcasecmp(row.Choices[i].c_str(), text.c_str()) == 0) return static_cast<int64_t>(i);
    Refuse(row, text);
}

std::string ReadPath(const TCliOption& row, const std::string& text) {
    if (text.empty()) Refuse(row, text);
    return text;
}

std::string RangeText(const TValueRange& range) {
    const std::string lowest = FormatGeneral(range.Lowest);
    const std::string highest = FormatGeneral(range.Highest);
    if (range.AboveLowest) return " above " + lowest + " and up to " + highest;
    return " from " + lowest + " to " + highest;
}

// " none, floyd-steinberg, ...", after "one of".
std::string ChoicesText(const std::vector<std::string>& choices) {
    std::string text;
    for (const std::string& choice : choices) text += (text.empty() ? " " : ", ") + choice;
    return text;
}

// What the kind takes when the row gives no noun of its own.
std::string KindNoun(TOptionKind kind) {
    switch (kind) {
        case TOptionKind::Switch:
        case TOptionKind::SwitchOff:
            return "";
        case TOptionKind::Integer:
            return "a whole number";
        case TOptionKind::Number:
            return "a number";
        case TOptionKind::Time:
            return "seconds (2.5) or [hh:]mm:ss[.fff] (1:02.5)";
        case TOptionKind::FrameSize:
            return "WxH or a size name (qvga, hd720, ...)";
        case TOptionKind::Choice:
            return "one of";
        case TOptionKind::Path:
            return "a file name";
        case TOptionKind::ByteSize:
            return "a size in bytes, or with K or M (8M)";
    }
    return "";
}

// The value put into a field of type Field. A value of another type than the field's is a row
// whose kind does not fit its target: std::bad_variant_access.
template <class Field>
void Assign(Field& field, const TOptionValue& value) {
    if constexpr (std::is_same_v<Field, bool> || std::is_same_v<Field, double> ||
                  std::is_same_v<Field, std::string> || std::is_same_v<Field, TFrameSize>)
        field = std::get<Field>(value);
    else
        field = static_cast<Field>(std::get<int64_t>(value));
}

// Stores the value in the field a member pointer names, in the struct of the request it
// belongs to.
struct TStore {
    TCliRequest& Request;
    const TOptionValue& Value;

    void operator()(std::monostate) const {}
    template <class Field>
    void operator()(Field TConvertSettings::*field) const {
        Assign(Request.Settings.*field, Value);
    }
    template <class Field>
    void operator()(Field TFrameTimingOptions::*field) const {
        Assign(Request.Settings.Timing.*field, Value);
    }
    template <class Field>
    void operator()(Field TCliRequest::*field) const {
        Assign(Request.*field, Value);
    }
};

}  // namespace

TOptionValue ReadOptionValue(const TCliOption& row, const std::string& text) {
    switch (row.Kind) {
        case TOptionKind::Switch:
            return true;
        case TOptionKind::SwitchOff:
            return false;
        case TOptionKind::Integer:
            return ReadInteger(row, text);
        case TOptionKind::Number:
            return ReadDecimal(row, text);
        case TOptionKind::Time:
            return ReadTime(row, text);
        case TOptionKind::FrameSize:
            return ReadFrameSize(row, text);
        case TOptionKind::Choice:
            return ReadChoice(row, text);
        case TOptionKind::Path:
            return ReadPath(row, text);
        case TOptionKind::ByteSize:
            return ReadByteSize(row, text);
    }
    Refuse(row, text);
}

void StoreOptionValue(const TCliOption& row, const TOptionValue& value, TCliRequest& request) {
    std::visit(TStore{request, value}, row.Target);
}

std::string ExpectedValueText(const TCliOption& row) {
    std::string text = row.Noun.empty() ? KindNoun(row.Kind) : row.Noun;
    if (row.Range) text += RangeText(*row.Range);
    if (!row.Choices.empty()) text += ChoicesText(row.Choices);
    return text;
}
