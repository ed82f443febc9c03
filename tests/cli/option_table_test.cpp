// The rows of the command line's option table hold together, and the parser keeps to them:
// every row stores a value of its kind, ranges refuse what lies outside them, excluded pairs are
// refused in either order.
#include <gtest/gtest.h>

#include <set>

#include "app/core/OptionStrings.h"
#include "cli/OptionTable.h"
#include "cli/OptionValues.h"
#include "tests/common/TestSupport.h"

namespace {

bool TakesValue(TOptionKind kind) {
    return kind != TOptionKind::Switch && kind != TOptionKind::SwitchOff;
}

// A value the row takes.
std::string GoodValue(const TCliOption& row) {
    switch (row.Kind) {
        case TOptionKind::Integer:
        case TOptionKind::Number:
            return FormatGeneral(row.Range->Highest);
        case TOptionKind::Time:
            return "1.5";
        case TOptionKind::FrameSize:
            return "32x24";
        case TOptionKind::Choice:
            return row.Choices.back();
        case TOptionKind::Path:
            return "x.gif";
        case TOptionKind::ByteSize:
            return "8M";
        default:
            return "";
    }
}

// The row on a command line of its own: with a FILE unless it stands alone.
std::vector<std::string> CommandLineOf(const TCliOption& row, const std::string& value) {
    std::vector<std::string> args{row.Long};
    if (TakesValue(row.Kind)) args.push_back(value);
    if (row.Limit != TOptionLimit::Alone) args.push_back("a.mp4");
    return args;
}

// Both rows on one command line, `first` first.
std::vector<std::string> Both(const TCliOption& first, const TCliOption& second) {
    std::vector<std::string> args = CommandLineOf(first, GoodValue(first));
    const std::vector<std::string> more = CommandLineOf(second, GoodValue(second));
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

TEST(CliOptionTable, RowsHoldTogether) {
    std::set<std::string> names;
    for (const TCliOption& row : CliOptionTable()) {
        SCOPED_TRACE(row.Long);
        EXPECT_EQ(row.Long.rfind("--", 0), 0u);
        EXPECT_TRUE(names.insert(row.Long).second) << "named twice";
        if (!row.Short.empty()) {
            EXPECT_EQ(row.Short.size(), 2u);
            EXPECT_TRUE(names.insert(row.Short).second) << row.Short << " named twice";
        }
        EXPECT_EQ(TakesValue(row.Kind), !row.Argument.empty());
        // A number without bounds could be cut to fit its field.
        const bool number = row.Kind == TOptionKind::Integer || row.Kind == TOptionKind::Number;
        EXPECT_EQ(number, row.Range.has_value());
        EXPECT_EQ(row.Kind == TOptionKind::Choice, !row.Choices.empty());
        EXPECT_FALSE(row.Help.empty());
        for (const std::string& excluded : row.Excludes) {
            const TCliOption* other = FindCliOption(excluded);
            EXPECT_TRUE(other && other != &row) << excluded;
        }
    }
    EXPECT_EQ(FindCliOption("-s"), FindCliOption("--size"));
    EXPECT_EQ(FindCliOption("--bogus"), nullptr);
}

TEST(CliOptionTable, EveryRowStoresItsKindOfValue) {
    for (const TCliOption& row : CliOptionTable()) {
        SCOPED_TRACE(row.Long);
        // A kind that does not fit the row's field fails here (std::bad_variant_access).
        TCliRequest request;
        EXPECT_NO_THROW(request = ParseCommandLine(CommandLineOf(row, GoodValue(row))));
        EXPECT_EQ(request.Action, row.Action);
        if (!row.Range) continue;
        // The bounds are kept as the row and the message say.
        const TValueRange& range = *row.Range;
        const std::string beyond = FormatGeneral(range.Highest + 1);
        EXPECT_EQ(testsupport::ErrorOf<TUsageError>(
                      [&] { ParseCommandLine(CommandLineOf(row, beyond)); }),
                  row.Long + " takes " + ExpectedValueText(row) + ", not \"" + beyond + "\"");
        const std::string lowest = FormatGeneral(range.Lowest);
        const std::string error = testsupport::ErrorOf<TUsageError>(
            [&] { ParseCommandLine(CommandLineOf(row, lowest)); });
        EXPECT_EQ(error.empty(), !range.AboveLowest) << error;
    }
}

TEST(CliOptionTable, ExcludedPairsAreRefusedInEitherOrder) {
    const std::span<const TCliOption> table = CliOptionTable();
    std::set<std::string> pairs;
    for (size_t a = 0; a < table.size(); ++a) {
        for (size_t b = a + 1; b < table.size(); ++b) {
            if (!OptionsExclude(table[a], table[b])) continue;
            const std::string message = table[a].Long + " and " + table[b].Long;
            pairs.insert(message);
            for (const auto& args : {Both(table[a], table[b]), Both(table[b], table[a])})
                EXPECT_EQ(testsupport::ErrorOf<TUsageError>([&] { ParseCommandLine(args); }),
                          message + " exclude each other");
        }
    }
    EXPECT_EQ(pairs, (std::set<std::string>{"--size and --width", "--loop and --no-loop",
                                            "--loop and --no-timing", "--no-loop and --no-timing",
                                            "--quiet and --verbose"}));
}

}  // namespace
