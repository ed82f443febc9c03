// The bash completion and the manual pages made from the command line's option table: the
// completion run by bash offers every option, the values each option takes and file names
// where files go; the manual page, rendered by man, holds every option with its range or
// choices, and text that looks like roff comes out as written.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/core/FrameSizes.h"
#include "cli/OptionHelp.h"
#include "cli/OptionTable.h"
#include "packaging/BashCompletion.h"
#include "packaging/ManPages.h"
#include "packaging/Roff.h"
#include "tests/common/TestSupport.h"

namespace {

using testsupport::ShellQuote;
using TWords = std::set<std::string>;

// The script the build installs (build/share/...), found from the programs' folder.
std::string InstalledCompletion() {
    return testsupport::BuildProgram("../share/bash-completion/completions/clipgif-cli");
}

class CompletionTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"clip one.mp4", "clip two.mkv", "notes.txt"})
            std::ofstream(folder_.File(name)) << "x";
    }

    // What bash offers for the last of `words` (the command line up to the cursor, split as
    // bash splits it) in the test's folder.
    TWords Offered(const std::vector<std::string>& words) const {
        std::string array;
        for (const std::string& word : words) array += " " + ShellQuote(word);
        const std::string script = "cd " + ShellQuote(folder_.Path()) + " && source " +
                                   ShellQuote(InstalledCompletion()) + " && COMP_WORDS=(" + array +
                                   ") && COMP_CWORD=" + std::to_string(words.size() - 1) +
                                   " && _clipgif_cli && printf '%s\\n' \"${COMPREPLY[@]}\"";
        const testsupport::CommandResult result = testsupport::Run("bash -c " + ShellQuote(script));
        EXPECT_EQ(result.exitCode, 0) << result.output;
        TWords offered;
        std::istringstream lines(result.output);
        for (std::string line; std::getline(lines, line);)
            if (!line.empty()) offered.insert(line);
        return offered;
    }

    const TWords files_ = {"clip one.mp4", "clip two.mkv", "notes.txt"};
    testsupport::TempDir folder_;
};

TEST(CompletionScript, TheInstalledScriptIsTheOneMadeFromTheTable) {
    const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(InstalledCompletion());
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), CliBashCompletion());
}

TEST_F(CompletionTest, EveryOptionNameIsOffered) {
    TWords names;
    for (const TCliOption& row : CliOptionTable()) {
        names.insert(row.Long);
        if (!row.Short.empty()) names.insert(row.Short);
    }
    EXPECT_EQ(Offered({"clipgif-cli", "-"}), names);
    EXPECT_EQ(Offered({"clipgif-cli", "--no-t"}), TWords{"--no-timing"});
}

TEST_F(CompletionTest, EachOptionOffersTheValuesItTakes) {
    TWords sizeNames;
    for (const TFrameSizePreset& preset : FrameSizePresets())
        if (*preset.Name) sizeNames.insert(preset.Name);
    for (const TCliOption& row : CliOptionTable()) {
        if (row.Argument.empty()) continue;
        TWords expected;  // numbers and times are typed: nothing is offered
        if (row.Kind == TOptionKind::Choice)
            expected = TWords(row.Choices.begin(), row.Choices.end());
        if (row.Kind == TOptionKind::FrameSize) expected = sizeNames;
        if (row.Kind == TOptionKind::Path) expected = files_;
        EXPECT_EQ(Offered({"clipgif-cli", "clip one.mp4", row.Long, ""}), expected) << row.Long;
        if (!row.Short.empty()) {
            EXPECT_EQ(Offered({"clipgif-cli", row.Short, ""}), expected) << row.Short;
        }
    }
}

TEST_F(CompletionTest, ValuesAreOfferedAfterAnEqualsSignAndByTheirStart) {
    const TWords st = {"stucki", "steve-arche"};
    EXPECT_EQ(Offered({"clipgif-cli", "--dither", "st"}), st);
    // bash makes "=" a word of its own: "--dither=" and "--dither=st".
    EXPECT_EQ(Offered({"clipgif-cli", "--dither", "="}).count("floyd-steinberg"), 1u);
    EXPECT_EQ(Offered({"clipgif-cli", "--dither", "=", "st"}), st);
    EXPECT_EQ(Offered({"clipgif-cli", "-s", "hd"}), (TWords{"hd480", "hd720", "hd1080"}));
}

TEST_F(CompletionTest, FilesToConvertAreOfferedWholeWhateverTheirBlanks) {
    EXPECT_EQ(Offered({"clipgif-cli", ""}), files_);
    EXPECT_EQ(Offered({"clipgif-cli", "--optimize", "clip"}),
              (TWords{"clip one.mp4", "clip two.mkv"}));
    EXPECT_EQ(Offered({"clipgif-cli", "-s", "qvga", "no"}), TWords{"notes.txt"});
}

// The page as man renders it, its whitespace runs made single blanks; a groff warning fails
// the test.
class ManPageTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (testsupport::Run("command -v man").exitCode != 0)
            GTEST_SKIP() << "man is not installed (package man-db)";
    }

    std::string Rendered(const std::string& roff) const {
        const std::string page = folder_.File("page.1");
        std::ofstream(page) << roff;
        const testsupport::CommandResult result =
            testsupport::Run("MANWIDTH=100 man --warnings -P cat -l " + ShellQuote(page) + " 2>" +
                             ShellQuote(folder_.File("warnings")));
        EXPECT_EQ(result.exitCode, 0);
        const std::vector<uint8_t> warnings = testsupport::ReadFileBytes(folder_.File("warnings"));
        EXPECT_EQ(std::string(warnings.begin(), warnings.end()), "");
        std::istringstream words(result.output);
        std::string text;
        for (std::string word; words >> word;) text += (text.empty() ? "" : " ") + word;
        return text;
    }

    testsupport::TempDir folder_;
};

TEST_F(ManPageTest, TheCommandLinePageHoldsEveryOptionWithItsValues) {
    const std::string text = Rendered(CliManPage());
    for (const TCliOption& row : CliOptionTable()) {
        std::string heading = row.Short.empty() ? row.Long : row.Short + ", " + row.Long;
        if (!row.Argument.empty()) heading += " " + row.Argument;
        EXPECT_NE(text.find(heading), std::string::npos) << heading;
        std::istringstream words(OptionDescription(row));
        std::string description;
        for (std::string word; words >> word;)
            description += (description.empty() ? "" : " ") + word;
        EXPECT_NE(text.find(description), std::string::npos) << row.Long;
    }
    for (const std::string& line : HelpParagraphs().Synopsis)
        EXPECT_NE(text.find(line), std::string::npos) << line;
    EXPECT_NE(text.find("EXIT STATUS " + HelpParagraphs().ExitStatus), std::string::npos);
}

TEST_F(ManPageTest, TheDesktopPageRenders) {
    const std::string text = Rendered(DesktopManPage());
    EXPECT_NE(text.find("SYNOPSIS clipgif [FILE]"), std::string::npos) << text;
}

TEST_F(ManPageTest, TextThatLooksLikeRoffComesOutAsWritten) {
    const std::vector<std::string> paragraphs = {
        ".SH not a heading", "'br not a request", "C:\\path\\to a \\fBfile",
        "--size and -s stay plain", "first line\n.TP\nsecond line"};
    TManPage page("sample", "ClipGIF");
    for (const std::string& paragraph : paragraphs) page.Paragraph(paragraph);
    const std::string text = Rendered(page.Text());
    for (const char* expected :
         {".SH not a heading", "'br not a request", "C:\\path\\to a \\fBfile",
          "--size and -s stay plain", "first line .TP second line"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << " in " << text;
}

}  // namespace
