// The README's table of the command line's options and the option table of the program name
// the same options, with the same short names and arguments; the README lists every choice and
// the highest bound of every range.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>

#include "app/core/OptionStrings.h"
#include "cli/OptionTable.h"
#include "tests/common/TestSupport.h"

namespace {

// An option as a line of the README's table writes it: "`-s, --size SIZE`".
struct TReadmeOption {
    std::string Short;
    std::string Long;
    std::string Argument;
    std::string Line;  // the table's line, with what the option does
};

std::string ReadReadme() {
    const char* source = std::getenv("CLIPGIF_SOURCE");
    EXPECT_NE(source, nullptr) << "CLIPGIF_SOURCE names the source folder";
    const std::vector<uint8_t> bytes =
        testsupport::ReadFileBytes(std::string(source ? source : ".") + "/README.md");
    return std::string(bytes.begin(), bytes.end());
}

// The section "## The command line", up to the next heading of its level.
std::string CommandLineSection(const std::string& readme) {
    const std::string heading = "\n## The command line\n";
    const size_t start = readme.find(heading);
    if (start == std::string::npos) return "";
    const size_t end = readme.find("\n## ", start + heading.size());
    return readme.substr(start, end == std::string::npos ? end : end - start);
}

// "-s, --size SIZE" into its names and argument.
TReadmeOption ReadSpelling(const std::string& spelling, const std::string& line) {
    TReadmeOption option;
    option.Line = line;
    std::istringstream words(spelling);
    std::string word;
    while (words >> word) {
        if (word.back() == ',') word.pop_back();
        if (word.rfind("--", 0) == 0)
            option.Long = word;
        else if (word[0] == '-')
            option.Short = word;
        else
            option.Argument = word;
    }
    return option;
}

// The options of the table's lines ("| `-h, --help`, `--version` | ...").
std::vector<TReadmeOption> ReadmeOptions(const std::string& section) {
    std::vector<TReadmeOption> options;
    std::istringstream lines(section);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("| `", 0) != 0) continue;
        const std::string cell = line.substr(2, line.find(" |", 2) - 2);
        for (size_t open = cell.find('`'); open != std::string::npos;) {
            const size_t close = cell.find('`', open + 1);
            options.push_back(ReadSpelling(cell.substr(open + 1, close - open - 1), line));
            open = close == std::string::npos ? close : cell.find('`', close + 1);
        }
    }
    return options;
}

TEST(CliReadme, TheOptionTableMatchesTheRows) {
    std::map<std::string, TReadmeOption> readme;
    for (const TReadmeOption& option : ReadmeOptions(CommandLineSection(ReadReadme()))) {
        EXPECT_NE(FindCliOption(option.Long), nullptr) << option.Long << " is not an option";
        EXPECT_TRUE(readme.emplace(option.Long, option).second) << option.Long << " twice";
    }
    ASSERT_FALSE(readme.empty()) << "README.md has no option table under \"The command line\"";
    for (const TCliOption& row : CliOptionTable()) {
        SCOPED_TRACE(row.Long);
        const auto found = readme.find(row.Long);
        if (found == readme.end()) {
            ADD_FAILURE() << "not in the README's table";
            continue;
        }
        const TReadmeOption& option = found->second;
        EXPECT_EQ(option.Short, row.Short);
        EXPECT_EQ(option.Argument, row.Argument);
        for (const std::string& choice : row.Choices)
            EXPECT_NE(option.Line.find("`" + choice + "`"), std::string::npos) << choice;
        if (row.Range) {
            const std::string highest = FormatGeneral(row.Range->Highest);
            EXPECT_NE(option.Line.find(highest), std::string::npos) << highest;
        }
    }
}

}  // namespace
