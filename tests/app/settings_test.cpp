// The settings file: complemented lines, line breaks, the INI rules of section SYSTEM, the file
// itself, and the options dialog's choices written back and read again.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/core/SavedChoices.h"
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

namespace {

void WriteStored(const std::string& fileName, const Lines& plain) {
    const std::string stored = Store(plain);
    TMemoryStream(std::vector<uint8_t>(stored.begin(), stored.end())).SaveToFile(fileName);
}

TEST(Settings, ValuesAreSetInTheirSectionAndNothingElseChanges) {
    const Lines plain = {"; the program", "[SYSTEM]",    "Name=ClipGIF", "[output]",
                         " Width = 5 ",   "; a comment", "[Later]",      "Width=7"};
    const Lines set = SetSectionValues(plain, "OUTPUT", {{"Width", "320"}, {"Dither", "stucki"}});
    // The key's line takes the new value, a new key joins the end of the section.
    EXPECT_EQ(set, (Lines{"; the program", "[SYSTEM]", "Name=ClipGIF", "[output]", "Width=320",
                          "; a comment", "Dither=stucki", "[Later]", "Width=7"}));
    EXPECT_EQ(ReadSection(set, "OUTPUT", {"Width", "Dither"}), (Lines{"320", "stucki"}));
    EXPECT_EQ(ReadSystemSection(set, {"Name"}), Lines{"ClipGIF"});
    // A section that is not there is added at the end.
    EXPECT_EQ(SetSectionValues({"[SYSTEM]"}, "OUTPUT", {{"Loop", "once"}}),
              (Lines{"[SYSTEM]", "[OUTPUT]", "Loop=once"}));
    EXPECT_FALSE(StorableSettingsText("a\nWidth=1"));
    EXPECT_FALSE(StorableSettingsText("\xF2"));
    EXPECT_TRUE(StorableSettingsText("/home/ren\xC3\xA9/GIFs"));
    EXPECT_THROW(EncodeSettings({"Name=\xFF"}), std::invalid_argument);
}

TEST(Settings, WrittenSectionIsReadBackAndTheRestOfTheFileStays) {
    testsupport::TempDir dir;
    const std::string fileName = dir.File("lamecore.dll");
    WriteStored(fileName, {"[SYSTEM]", "Name=ClipGIF", "Version=0.1"});
    WriteSettingsSection("OUTPUT", {{"Width", "320"}}, fileName);
    WriteSettingsSection("OUTPUT", {{"Width", "640"}, {"Loop", "3"}}, fileName);
    EXPECT_EQ(ReadSettingsSection("OUTPUT", {"Width", "Loop"}, fileName), (Lines{"640", "3"}));
    EXPECT_EQ(ReadSettings({"Name", "Version"}, fileName), (Lines{"ClipGIF", "0.1"}));
    // Stored complemented like the rest, nothing left beside the file.
    const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(fileName);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()).find("Width"), std::string::npos);
    EXPECT_FALSE(testsupport::FileExists(fileName + ".new"));
    EXPECT_THROW(WriteSettingsSection("OUTPUT", {{"Width", "1"}}, dir.File("missing.dll")),
                 EStreamError);
}

TEST(SavedChoices, RoundTripThroughTheFile) {
    testsupport::TempDir dir;
    const std::string fileName = dir.File("lamecore.dll");
    WriteStored(fileName, {"[SYSTEM]", "Name=ClipGIF"});
    // A file without the section gives the defaults: the clip's own size, aspect kept, its own
    // rate, timed and looping for ever, no dithering, beside the clip.
    EXPECT_EQ(ReadSavedChoices(fileName), TSavedChoices());
    EXPECT_EQ(ReadSavedChoices(dir.File("missing.dll")), TSavedChoices());

    TSavedChoices chosen;
    chosen.FrameSizeName = "qvga";
    chosen.KeepAspect = false;
    chosen.Width = 480;
    chosen.FrameRate = 12.5;
    chosen.PlayAtClipSpeed = false;
    chosen.Loop = TLoopChoice::Repeat;
    chosen.Repeats = 3;
    chosen.Dither = dcSteveArche;
    chosen.Optimize = true;
    chosen.SizeLimit = 8 * 1024 * 1024 + 1;
    chosen.SaveToFolder = true;
    chosen.OutputFolder = "/home/ren\xC3\xA9/GIFs";
    WriteSavedChoices(chosen, fileName);
    EXPECT_EQ(ReadSavedChoices(fileName), chosen);
    chosen.Loop = TLoopChoice::Once;
    chosen.Repeats = 1;  // kept only for repeating
    WriteSavedChoices(chosen, fileName);
    EXPECT_EQ(ReadSavedChoices(fileName), chosen);
    EXPECT_EQ(ReadSettings({"Name"}, fileName), Lines{"ClipGIF"});

    // A folder that cannot be stored is not kept, and the GIF goes beside the clip then.
    chosen.OutputFolder = "/tmp/a\nb";
    WriteSavedChoices(chosen, fileName);
    EXPECT_FALSE(ReadSavedChoices(fileName).SaveToFolder);
    EXPECT_EQ(ReadSavedChoices(fileName).OutputFolder, "");
}

// The settings text the build stores (the program writes the section back later on).
TEST(SavedChoices, TheProgramsSettingsTextHoldsTheDefaults) {
    const char* source = std::getenv("CLIPGIF_SOURCE");
    ASSERT_NE(source, nullptr);
    const std::vector<uint8_t> text =
        testsupport::ReadFileBytes(std::string(source) + "/app/resources/settings.ini.in");
    const Lines lines = SplitSettingsLines(std::string(text.begin(), text.end()));
    const Lines values = ReadSection(lines, kSavedChoicesSection, SavedChoicesKeys());
    EXPECT_EQ(values[5], "forever");
    EXPECT_EQ(values[8], "beside");
    EXPECT_EQ(SavedChoicesOf(values), TSavedChoices());
}

TEST(SavedChoices, WrongValuesGiveTheDefaults) {
    const Lines wrong = {"huge",  "yes",    "-5", "70",     "2",   "0", "ordered",
                         "maybe", "folder", "",   "bluish", "101", "8M"};
    EXPECT_EQ(SavedChoicesOf(wrong), TSavedChoices());
    EXPECT_EQ(SavedChoicesOf({}), TSavedChoices());
    const Lines right = {"hd720", "0",      "320", "7.5",    "0",  "65535", "burkes",
                         "1",     "beside", "/x",  "octree", "40", "500000"};
    const TSavedChoices read = SavedChoicesOf(right);
    EXPECT_EQ(read.FrameSizeName, "hd720");
    EXPECT_EQ(read.Width, 320);
    EXPECT_EQ(read.FrameRate, 7.5);
    EXPECT_EQ(read.Loop, TLoopChoice::Repeat);
    EXPECT_EQ(read.Repeats, 65535);
    EXPECT_EQ(read.Dither, dcBurkes);
    EXPECT_FALSE(read.SaveToFolder);
    EXPECT_EQ(read.Colors, TFrameColors::Octree);
    EXPECT_EQ(read.Quality, 40);
    EXPECT_EQ(read.SizeLimit, 500000);
    EXPECT_EQ(ConversionChoicesOf(read).SizeLimit, 500000);
    for (const char* noLimit : {"-1", "0", "", "1e6", "8M"}) {
        Lines values = right;
        values.back() = noLimit;
        EXPECT_EQ(SavedChoicesOf(values).SizeLimit, 0) << noLimit;
    }
}

}  // namespace
