// Option strings into the option context: tokens, typed values, the "no" forms, strict and
// lenient parsing, preset texts and the option table itself.
#include <set>

#include "engine/task/options/FFmpegTokenizer.h"
#include "tests/common/TestSupport.h"
#include "tests/engine/task/option_test_support.h"

using optiontest::TaskTest;
using testsupport::ErrorOf;

TEST(SplitCommandLine, QuotesAndBackslashesFollowTheCommandLineRules) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitCommandLine(" \t-vf \"scale=320:240\"  -f\trawrgb "),
              (V{"-vf", "scale=320:240", "-f", "rawrgb"}));
    EXPECT_EQ(SplitCommandLine("-metadata \"title=a b\""), (V{"-metadata", "title=a b"}));
    EXPECT_EQ(SplitCommandLine(R"(a\"b c\\"d e"f)"), (V{"a\"b", "c\\d ef"}));
    EXPECT_EQ(SplitCommandLine(R"(a\\\"b c\d)"), (V{"a\\\"b", "c\\d"}));
    // "" inside quotes gives one quote and ends the quoted part
    EXPECT_EQ(SplitCommandLine(R"("a""b c")"), (V{"a\"b", "c"}));
    EXPECT_EQ(SplitCommandLine(R"(x "" y)"), (V{"x", "", "y"}));
    EXPECT_TRUE(SplitCommandLine(" \t ").empty());
}

TEST_F(TaskTest, FrontEndOutputStringGivesExactlyItsContext) {
    TCustomFFmpeg task;
    task.ParseOptions(" -f rawrgb -c:v rawvideo -pix_fmt bgr24 -t 2.5 -vf \"scale=320:240\"");
    const TOptionsContext& o = task.Options;
    EXPECT_EQ(o.FormatName, "rawrgb");
    ASSERT_EQ(o.CodecNames.size(), 1u);
    EXPECT_EQ(o.CodecNames[0].Specifier, "v");
    EXPECT_EQ(o.CodecNames[0].Value, "rawvideo");
    ASSERT_EQ(o.FramePixFmts.size(), 1u);
    EXPECT_EQ(o.FramePixFmts[0].Specifier, "");
    EXPECT_EQ(o.FramePixFmts[0].Value, "bgr24");
    EXPECT_EQ(o.RecordingTime, 2500000);
    ASSERT_EQ(o.Filters.size(), 1u);
    EXPECT_EQ(o.Filters[0].Specifier, "v");
    EXPECT_EQ(o.Filters[0].Value, "scale=320:240");
    EXPECT_TRUE(o.FrameSizes.empty());
    EXPECT_EQ(o.StartTime, 0);
    EXPECT_TRUE(Logged(llInfo, "ParseOptions:  -f rawrgb"));
}

TEST_F(TaskTest, EmptyStringChangesAndLogsNothing) {
    TCustomFFmpeg task;
    const size_t before = LineCount();
    task.ParseOptions("");
    task.ParsePresets("");
    EXPECT_EQ(LineCount(), before);
    EXPECT_EQ(task.Options.RecordingTime, kNoTimeLimit);
}

TEST_F(TaskTest, StartTimeForms) {
    TCustomFFmpeg task;
    task.ParseOptions("-ss 12.5");
    EXPECT_EQ(task.Options.StartTime, 12500000);
    task.ParseOptions("-ss 00:01:02.5");
    EXPECT_EQ(task.Options.StartTime, 62500000);
    task.ParseOptions("-TimeStart 12.5");
    EXPECT_EQ(task.Options.StartTime, 12500000);
    task.ParseOptions("-ss_microsecond 7");
    EXPECT_EQ(task.Options.StartTime, 7);
    task.ParseOptions("-TimeLength 1.25");
    EXPECT_EQ(task.Options.RecordingTime, 1250000);
    EXPECT_EQ(ParseError(task, "-TimeStart abc"),
              "Expected double for TimeStart but found abc\r\n"
              "Failed to set value \"abc\" for option \"TimeStart\"");
    // Seconds whose microseconds do not fit 64 bits (converting them was undefined).
    EXPECT_EQ(ParseError(task, "-TimeLength 1e300"),
              "Time out of range for TimeLength: 1e300\r\n"
              "Failed to set value \"1e300\" for option \"TimeLength\"");
    EXPECT_NE(ParseError(task, "-TimeStart nan"), "");
    EXPECT_EQ(task.Options.RecordingTime, 1250000);
}

TEST_F(TaskTest, CodecOptionFormsShareOneList) {
    TCustomFFmpeg task;
    task.ParseOptions("-c:v a1 -codec:v a2 -vcodec mpeg4 -acodec mp2 -c copy");
    const TOptionsContext& o = task.Options;
    ASSERT_EQ(o.CodecNames.size(), 5u);
    EXPECT_EQ(o.CodecNames[1].Value, "a2");
    EXPECT_EQ(o.CodecNames[2].Specifier, "v");
    EXPECT_EQ(o.CodecNames[3].Specifier, "a");
    EXPECT_EQ(o.CodecNames[4].Specifier, "");
    EXPECT_EQ(task.VideoCodecName, "mpeg4");
    EXPECT_EQ(task.AudioCodecName, "mp2");
    EXPECT_TRUE(task.SubtitleCodecName.empty());
}

TEST_F(TaskTest, NoPrefixOnlyNegatesBooleanOptions) {
    TCustomFFmpeg task;
    task.ParseOptions("-copyts");
    EXPECT_EQ(task.CopyTs, 1);
    task.ParseOptions("-nocopyts -vn");
    EXPECT_EQ(task.CopyTs, 0);
    EXPECT_EQ(task.Options.VideoDisable, 1);
    // neither reaches the catch-all row: nothing is handed to the libraries
    EXPECT_EQ(ParseError(task, "-nosuchoption 1"), "Unrecognized option \"nosuchoption\"");
    EXPECT_EQ(ParseError(task, "-nof avi"), "Unrecognized option \"nof\"");
    EXPECT_EQ(task.ParseOption(task.Options, "nof", "avi"), -22);
    EXPECT_EQ(libav::av_dict_count(task.CodecOpts), 0);
    EXPECT_TRUE(task.Options.FormatName.empty());
}

TEST_F(TaskTest, MissingArgumentAndTypedValueErrors) {
    TCustomFFmpeg task;
    EXPECT_EQ(ParseError(task, "-vn -f"), "Missing argument for option \"f\"");
    EXPECT_EQ(ParseError(task, "-ar x"), "Expected integer for ar but found x");
    EXPECT_EQ(ParseError(task, "-fs 1.5"), "Expected int64 for fs but found 1.5");
    EXPECT_EQ(ParseError(task, "-muxdelay z"), "Expected float for muxdelay but found z");
    EXPECT_EQ(ParseError(task, "-itsscale q"), "Expected double for itsscale but found q");
    EXPECT_EQ(ParseError(task, "-t abc"), "Invalid duration specification for t: abc");
    task.StrictOptions = false;
    // typed conversions raise in lenient mode too
    EXPECT_EQ(ParseError(task, "-ar:a x"), "Expected integer for ar:a but found x");
}

TEST_F(TaskTest, StrictStopsAtFirstFailureLenientSkipsIt) {
    TCustomFFmpeg strict;
    // the catch-all row's failure carries the handler's text and the row's own
    const std::string expected =
        "Unrecognized option \"zzunknown\"\r\n"
        "Failed to set value \"1\" for option \"zzunknown\"";
    EXPECT_EQ(ParseError(strict, "-zzunknown 1 -f avi"), expected);
    EXPECT_TRUE(strict.Options.FormatName.empty());
    EXPECT_EQ(strict.LastError, expected);
    EXPECT_EQ(ParseError(strict, "stray -f avi"), "Failed to parse options on stray");

    TCustomFFmpeg lenient;
    lenient.StrictOptions = false;
    EXPECT_EQ(ParseError(lenient, "-zzunknown 1 stray -f avi -report"), "");
    EXPECT_EQ(lenient.Options.FormatName, "avi");
    EXPECT_TRUE(Logged(llWarning, "Invalid option found while parsing options, ignore"));
    EXPECT_TRUE(Logged(llError, "options \"report\" not supported"));
}

TEST_F(TaskTest, GenericOptionsGoToTheLibrarySets) {
    TCustomFFmpeg task;
    task.ParseOptions(
        "-b:a 64k -g 12 -flags +loop -flags +global_header -sws_flags bilinear "
        "-probesize 5000");
    EXPECT_EQ(CodecOpt(task, "b:a"), "64k");
    EXPECT_EQ(CodecOpt(task, "g"), "12");
    EXPECT_EQ(CodecOpt(task, "flags"), "+loop+global_header");
    const AVDictionaryEntry* e = libav::av_dict_get(task.FormatOpts, "probesize", nullptr, 0);
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(e->value, "5000");
    int64_t swsFlags = 0;
    ASSERT_GE(libav::av_opt_get_int(task.SwsOpts, "sws_flags", 0, &swsFlags), 0);
    EXPECT_EQ(swsFlags, SWS_BILINEAR);
    task.StrictOptions = false;
    task.ParseOptions("-zzunknown 1");
    EXPECT_EQ(task.SetGenericOption("zzunknown", "1"), AVERROR_OPTION_NOT_FOUND);
    EXPECT_EQ(task.LastParseError, "Unrecognized option \"zzunknown\"");
}

TEST_F(TaskTest, ResetEmptiesContextAndLibrarySets) {
    TCustomFFmpeg task;
    task.ParseOptions("-t 3 -ss 1 -f avi -g 5 -muxdelay 2 -map_chapters 1 -streamid 0:1 -y");
    task.ResetOptions(task.Options, true, false);
    EXPECT_EQ(task.Options.RecordingTime, 3000000);
    EXPECT_EQ(task.Options.StartTime, 0);
    EXPECT_TRUE(task.Options.FormatName.empty());
    EXPECT_TRUE(task.Options.StreamIdMap.empty());
    EXPECT_FLOAT_EQ(task.Options.MuxMaxDelay, 0.7f);
    EXPECT_EQ(task.Options.ChaptersInputFile, kAutomaticChapters);
    EXPECT_EQ(CodecOpt(task, "g"), "<none>");
    EXPECT_NE(task.SwsOpts, nullptr);
    EXPECT_EQ(task.FileOverwrite, 1);  // option variables live for the whole task
    task.ResetOptions(task.Options, false, false);
    EXPECT_EQ(task.Options.RecordingTime, kNoTimeLimit);
}

TEST_F(TaskTest, PresetTextsApplyKeyValueLines) {
    TCustomFFmpeg task;
    task.ParsePresets("  b=1000k<CRLF>g=12\r\n# g=99\r\nvcodec=mpeg4\n");
    EXPECT_EQ(CodecOpt(task, "b"), "1000k");
    EXPECT_EQ(CodecOpt(task, "g"), "12");
    EXPECT_EQ(task.VideoCodecName, "mpeg4");
    EXPECT_TRUE(Logged(llInfo, "ParsePresets: "));

    EXPECT_EQ(ErrorOf<FFmpegException>([&] { task.ParsePresets("g=1\nnovalue"); }),
              "Invalid syntax: \"novalue\"");
    TCustomFFmpeg lenient;
    lenient.StrictOptions = false;
    lenient.ParsePresets("zzunknown=1\ng=3");
    EXPECT_EQ(CodecOpt(lenient, "g"), "3");
    EXPECT_EQ(lenient.LastParseError,
              "Unrecognized option \"zzunknown\"\r\nInvalid option or argument: \"zzunknown=1\", "
              "parsed as \"zzunknown\" = \"1\"");
}

TEST_F(TaskTest, OptionTableIsCompleteAndEveryTypedRowStores) {
    TCustomFFmpeg task;
    const std::vector<TOptionDef>& table = task.OptionTable();
    ASSERT_EQ(table.size(), 145u);
    EXPECT_TRUE(table.back().Name.empty());
    std::set<std::string> names;
    for (const TOptionDef& row : table) {
        if (row.Name.empty()) continue;
        EXPECT_TRUE(names.insert(row.Name).second) << row.Name;
        if (row.IsHandler()) continue;
        // the field behind every typed row takes the type its flags name
        const char* sample = (row.Flags & optflag::Time) ? "1.5" : "2";
        EXPECT_GE(task.ParseOption(task.Options, row.Name + ":v", sample), 0) << row.Name;
    }
    EXPECT_EQ(&task.FindOption("codec:a:0"), &task.FindOption("codec"));
    EXPECT_TRUE(task.FindOption("zz").Name.empty());
    EXPECT_EQ(task.LocateOption({"-f", "-v", "-nocopyts", "-v", "debug"}, "v"), 3);
    EXPECT_EQ(task.LocateOption({"-loglevel"}, "v"), -1);
}

TEST(GrowArray, GrowsZeroedAndRefusesOversizedTables) {
    std::vector<int> table{5};
    GrowArray(table, 3);
    EXPECT_EQ(table, (std::vector<int>{5, 0, 0}));
    GrowArray(table, 2);  // already large enough
    EXPECT_EQ(table.size(), 3u);
    struct TBig {
        char Bytes[1 << 20];
    };
    std::vector<TBig> big;
    EXPECT_EQ(ErrorOf<FFmpegException>([&] { GrowArray(big, 4096); }), "Array too big.");
    EXPECT_TRUE(big.empty());
}
