// The settings file: complemented lines, line breaks, the INI rules of section SYSTEM, and the
// file itself.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/core/Settings.h"
#include "platform/FileSystem.h"
#include "platform/Stream.h"
#include "tests/common/TestSupport.h"

namespace {

using Lines = std::vector<std::string>;

// Plain lines stored as the settings file stores them: complemented, joined by `lineBreak`.
std::string Store(const Lines& plain, const std::string& lineBreak = "\r\n") {
    std::string stored;
    for (size_t i = 0; i < plain.size(); ++i) {
        if (i > 0) stored += lineBreak;
        stored += DecodeSettingsLine(plain[i]);
    }
    return stored;
}

}  // namespace

TEST(Settings, TitleFileAsStoredGivesNameAndEmptyValues) {
    const std::string stored = Store({"[SYSTEM]", "Name=Clip"});
    ASSERT_EQ(stored.size(), 8u + 2u + 9u);
    EXPECT_EQ(stored.substr(8, 2), "\r\n");
    EXPECT_EQ(static_cast<unsigned char>(stored[0]), 0xFF - '[');
    EXPECT_EQ(DecodeSettings(stored, {"Name"}), Lines{"Clip"});
    EXPECT_EQ(DecodeSettings(stored, kWindowSettingsKeys), Lines(9));
}

TEST(Settings, DecodingComplementsEveryByte) {
    EXPECT_EQ(DecodeSettingsLine(""), "");
    const std::string all = [] {
        std::string bytes;
        for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
        return bytes;
    }();
    const std::string decoded = DecodeSettingsLine(all);
    ASSERT_EQ(decoded.size(), 256u);
    for (int b = 0; b < 256; ++b) EXPECT_EQ(static_cast<unsigned char>(decoded[b]), 255 - b);
    EXPECT_EQ(DecodeSettingsLine(decoded), all);
}

TEST(Settings, LineBreaksOfEveryKindAndTheTextsEnd) {
    EXPECT_EQ(SplitSettingsLines("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitSettingsLines("a\r\n\r\nb"), (Lines{"a", "", "b"}));  // empty line kept
    EXPECT_EQ(SplitSettingsLines("a\n\rb"), (Lines{"a", "", "b"}));      // LF CR: two breaks
    EXPECT_EQ(SplitSettingsLines("a\r\n"), (Lines{"a"}));
    EXPECT_EQ(SplitSettingsLines("\r\n"), (Lines{""}));
    EXPECT_TRUE(SplitSettingsLines("").empty());
    EXPECT_EQ(SplitSettingsLines(std::string("a\r\nb\0c\r\nd", 9)), (Lines{"a", "b"}));

    // A plain 0xFF is stored as a zero byte, which ends the text.
    const std::string stored = Store({"[SYSTEM]",
                                      "Name=A\xFF"
                                      "B",
                                      "Version=1"},
                                     "\n");
    EXPECT_EQ(DecodeSettings(stored, {"Name", "Version"}), (Lines{"A", ""}));
    // An empty line decodes to an empty line and is no key.
    EXPECT_EQ(DecodeSettings(Store({"[SYSTEM]", "", "Name=Clip"}, "\r"), {"Name"}), Lines{"Clip"});
}

TEST(Settings, OnlySectionSystemIsReadAsAnIniDocumentWould) {
    const Lines plain = {
        "Name=Outside",  // before any section: no key
        "[Other]",          "Name=Other",
        " [ system ] ",  // names match without regard to case or outer blanks
        "; Name=Comment",
        "nAmE = Clip GIF ",  // key names too; blanks around name and value go
        "Name=Second",       // the first line of a key counts
        "Copyright==C= ",    // the value is everything after the first '='
        "=Nameless",
        "ResFolder",  // no '=': no key
        "[SYSTEM]",   // a second section of the name is not read
        "Version=2",        "HelpSupportLink=late",
    };
    const Lines values =
        DecodeSettings(Store(plain), {"Name", "Copyright", "ResFolder", "Version", "Missing"});
    EXPECT_EQ(values, (Lines{"Clip GIF", "=C=", "", "", ""}));
    EXPECT_EQ(ReadSystemSection({"[SYSTEM]", "Version=3"}, {"Version", "Version"}),
              (Lines{"3", "3"}));
    EXPECT_EQ(ReadSystemSection({}, {"Name"}), Lines{""});
}

TEST(Settings, FileNamesAndFolders) {
    EXPECT_EQ(GetSettingsFileName(), ExecutablePath() + "lamecore.dll");
    EXPECT_EQ(IncludeBackslash("/"), "/");  // the root folder gets no second '/'
    EXPECT_EQ(IncludeBackslash("/") + "lamecore.dll", "/lamecore.dll");
    EXPECT_EQ(IncludeBackslash("sounds/blue"), "sounds/blue/");
    EXPECT_EQ(IncludeBackslash("sounds/blue/"), "sounds/blue/");
    EXPECT_EQ(IncludeBackslash(""), "/");
}

TEST(Settings, ReadingTheFile) {
    testsupport::TempDir dir;
    const std::string fileName = dir.File("lamecore.dll");
    const std::string stored = Store({"[SYSTEM]", "Name=ClipGIF", "Version=0.1"});
    TMemoryStream(std::vector<uint8_t>(stored.begin(), stored.end())).SaveToFile(fileName);
    EXPECT_EQ(ReadSettings({"Version", "Name"}, fileName), (Lines{"0.1", "ClipGIF"}));

    try {
        ReadSettings({"Name"}, dir.File("missing.dll"));
        FAIL() << "a missing file was read";
    } catch (const EStreamError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Cannot open file \"" + dir.File("missing.dll"), 0),
                  0u)
            << e.what();
    }
}
