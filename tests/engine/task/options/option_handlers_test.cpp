// The option handlers: aliases, ambiguity warnings, range checks, -target, preset files and
// the options that change process-wide library settings.
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <regex>

#include "tests/common/TestSupport.h"
#include "tests/engine/task/option_test_support.h"

using optiontest::TaskTest;

TEST_F(TaskTest, AmbiguousBitrateAndQualityOptions) {
    TCustomFFmpeg task;
    task.ParseOptions("-b 500k");
    EXPECT_EQ(CodecOpt(task, "b:v"), "500k");
    EXPECT_TRUE(Logged(llWarning, "Please use -b:a or -b:v, -b is ambiguous"));
    TCustomFFmpeg quiet;
    quiet.ParseOptions("-b:a 64k -qscale:a 2");
    EXPECT_EQ(CodecOpt(quiet, "b:a"), "64k");
    ASSERT_EQ(quiet.Options.QScales.size(), 1u);
    EXPECT_EQ(quiet.Options.QScales[0].Specifier, "a");
    EXPECT_DOUBLE_EQ(quiet.Options.QScales[0].Value, 2.0);
    task.ParseOptions("-qscale 3 -aq 4");
    ASSERT_EQ(task.Options.QScales.size(), 2u);
    EXPECT_EQ(task.Options.QScales[0].Specifier, "v");
    EXPECT_EQ(task.Options.QScales[1].Specifier, "a");
    EXPECT_TRUE(Logged(llWarning, "Please use -q:a or -q:v, -qscale is ambiguous"));
}

TEST_F(TaskTest, TypeAliasesFillTheSpecifierLists) {
    TCustomFFmpeg task;
    task.ParseOptions(
        "-vframes 10 -aframes 5 -dframes 1 -vtag xvid -atag 0x55 -absf aac_adtstoasc "
        "-vbsf h264_mp4toannexb -vf hflip -dcodec copy");
    const TOptionsContext& o = task.Options;
    ASSERT_EQ(o.MaxFrames.size(), 3u);
    EXPECT_EQ(o.MaxFrames[0].Specifier, "v");
    EXPECT_EQ(o.MaxFrames[0].Value, 10);
    EXPECT_EQ(o.MaxFrames[2].Specifier, "d");
    ASSERT_EQ(o.CodecTags.size(), 2u);
    EXPECT_EQ(o.CodecTags[0].Specifier, "v");
    EXPECT_EQ(o.CodecTags[1].Specifier, "a");
    ASSERT_EQ(o.BitstreamFilters.size(), 2u);
    EXPECT_EQ(o.BitstreamFilters[0].Specifier, "a");
    EXPECT_EQ(o.BitstreamFilters[1].Value, "h264_mp4toannexb");
    ASSERT_EQ(o.Filters.size(), 1u);
    EXPECT_EQ(o.Filters[0].Specifier, "v");
    ASSERT_EQ(o.CodecNames.size(), 1u);
    EXPECT_EQ(o.CodecNames[0].Specifier, "d");
    // An alias takes its argument as the option it names, whatever specifier it was given.
    EXPECT_EQ(task.FindOption("vframes").Alias, "frames:v");
    EXPECT_EQ(ParseError(task, "-vframes:a x"), "Expected int64 for frames:v but found x");
}

TEST_F(TaskTest, StreamIdChecksIndexAndValue) {
    TCustomFFmpeg task;
    task.ParseOptions("-streamid 3:7");
    ASSERT_EQ(task.Options.StreamIdMap.size(), 4u);
    EXPECT_EQ(task.Options.StreamIdMap[3], 7);
    EXPECT_EQ(task.Options.StreamIdMap[0], 0);
    EXPECT_EQ(ParseError(task, "-streamid 1024:1"),
              "The value for \"streamid\" was \"1024\" which is not within 0 - 1023\r\n"
              "Failed to set value \"1024:1\" for option \"streamid\"");
    EXPECT_EQ(ParseError(task, "-streamid 1:-5"),
              "The value for \"streamid\" was \"-5\" which is not within 0 - 2147483647\r\n"
              "Failed to set value \"1:-5\" for option \"streamid\"");
    for (const char* bad : {"x", "2:y", "7"})
        EXPECT_EQ(ParseError(task, std::string("-streamid ") + bad)
                      .rfind(std::string("Invalid value \"") + bad +
                                 "\" for option \"streamid\", required syntax is \"index:value\"",
                             0),
                  0u)
            << bad;
}

TEST_F(TaskTest, VideoSyncNamesWinOverLaterNumbers) {
    TCustomFFmpeg task;
    task.ParseOptions("-vsync vfr -vsync 1");
    EXPECT_EQ(task.VideoSyncMethod, 2);
    task.ParseOptions("-vsync CFR");
    EXPECT_EQ(task.VideoSyncMethod, 1);
    TCustomFFmpeg numeric;
    numeric.ParseOptions("-vsync 0");
    EXPECT_EQ(numeric.VideoSyncMethod, 0);
    TCustomFFmpeg bad;
    EXPECT_EQ(ParseError(bad, "-vsync 5")
                  .rfind("The value for \"vsync\" was \"5\" which is not within -1 - 2", 0),
              0u);
}

TEST_F(TaskTest, PassAndPassLogFile) {
    TCustomFFmpeg task;
    task.ParseOptions("-pass 2 -passlogfile stats");
    EXPECT_EQ(task.DoPass, 2);
    EXPECT_EQ(task.PassLogFilePrefix, "stats");
    EXPECT_EQ(ParseError(task, "-pass 4")
                  .rfind("The value for \"pass\" was \"4\" which is not within 1 - 3", 0),
              0u);
    EXPECT_EQ(ParseError(task, "-pass two").rfind("Expected integer for pass but found two", 0),
              0u);
}

TEST_F(TaskTest, LogLevelSetsTheLibraryLevel) {
    TCustomFFmpeg task;
    task.ParseOptions("-loglevel warning");
    EXPECT_EQ(libav::av_log_get_level(), AV_LOG_WARNING);
    task.ParseOptions("-v 99");
    EXPECT_EQ(libav::av_log_get_level(), 99);
    // -loglevel is applied before every other option of the string
    task.ParseOptions("-f avi -v quiet");
    EXPECT_EQ(libav::av_log_get_level(), AV_LOG_QUIET);
    const std::string error = ParseError(task, "-loglevel loud");
    EXPECT_EQ(
        error.rfind("Invalid loglevel \"loud\". Possible levels are numbers or:\r\n\"quiet\"\r\n"
                    "\"panic\"\r\n\"fatal\"\r\n\"error\"\r\n\"warning\"\r\n\"info\"\r\n"
                    "\"verbose\"\r\n\"debug\"\r\nFailed to set value",
                    0),
        0u)
        << error;
    task.ParseOptions("-debug 1");
    EXPECT_EQ(libav::av_log_get_level(), AV_LOG_DEBUG);
    EXPECT_EQ(CodecOpt(task, "debug"), "1");
}

TEST_F(TaskTest, RefusedIgnoredAndRemovedOptions) {
    TCustomFFmpeg task;
    task.ParseOptions("-h -formats -AudioHook -Join");
    EXPECT_TRUE(Logged(llWarning, "options \"h\" not supported, ignore"));
    EXPECT_EQ(ParseError(task, "-i x.avi"),
              "options \"i\" not supported\r\nFailed to set value \"x.avi\" for option \"i\"");
    EXPECT_EQ(ParseError(task, "-croptop 10")
                  .rfind("Option \"croptop\" has been removed, use the crop filter instead", 0),
              0u);
    EXPECT_EQ(ParseError(task, "-padcolor 0")
                  .rfind("Option \"padcolor\" has been removed, use the pad filter instead", 0),
              0u);
    EXPECT_EQ(ParseError(task, "-max_alloc lots").rfind("Invalid max_alloc \"lots\".", 0), 0u);
    EXPECT_TRUE(Logged(llFatal, "Invalid max_alloc \"lots\"."));
}

TEST_F(TaskTest, TargetWithNormPrefixNeedsNoInput) {
    TCustomFFmpeg task;
    task.ParseOptions("-target pal-vcd");
    const TOptionsContext& o = task.Options;
    EXPECT_EQ(o.FormatName, "vcd");
    ASSERT_EQ(o.FrameSizes.size(), 1u);
    EXPECT_EQ(o.FrameSizes[0].Value, "352x288");
    EXPECT_EQ(o.FrameRates[0].Value, "25");
    EXPECT_FLOAT_EQ(o.MuxPreload, 0.44f);
    EXPECT_EQ(task.VideoCodecName, "mpeg1video");
    EXPECT_EQ(task.AudioCodecName, "mp2");
    EXPECT_EQ(CodecOpt(task, "g"), "15");
    EXPECT_EQ(CodecOpt(task, "bufsize"), "327680");
    EXPECT_EQ(o.AudioSampleRates[0].Value, 44100);

    TCustomFFmpeg svcd;
    svcd.ParseOptions("-target ntsc-svcd");
    EXPECT_EQ(svcd.Options.FrameSizes[0].Value, "480x480");
    EXPECT_EQ(CodecOpt(svcd, "scan_offset"), "1");
    EXPECT_EQ(CodecOpt(svcd, "g"), "18");

    TCustomFFmpeg dv;
    dv.ParseOptions("-target ntsc-dv");
    EXPECT_EQ(dv.Options.FramePixFmts[0].Value, "yuv411p");
    EXPECT_EQ(dv.Options.FrameRates[0].Value, "30000/1001");
    TCustomFFmpeg dv50;
    dv50.ParseOptions("-target film-dv50");
    EXPECT_EQ(dv50.Options.FramePixFmts[0].Value, "yuv422p");
    EXPECT_EQ(dv50.Options.FrameRates[0].Value, "24000/1001");

    TCustomFFmpeg unknown;
    EXPECT_EQ(ParseError(unknown, "-target pal-xyz").rfind("Unknown target: xyz", 0), 0u);
    EXPECT_EQ(ParseError(unknown, "-target vcd"),
              "Could not determine norm (PAL/NTSC/NTSC-Film) for target.\r\nPlease prefix target "
              "with \"pal-\", \"ntsc-\" or \"film-\",\r\nor set a framerate with \"-r xxx\".");
}

TEST_F(TaskTest, PresetFiles) {
    testsupport::TempDir dir;
    const std::string good = dir.File("good.ffpreset");
    std::ofstream(good) << "# comment\n  g=25  \nacodec=mp2\n\n";
    TCustomFFmpeg task;
    task.ParseOptions("-fpre " + good);
    EXPECT_EQ(CodecOpt(task, "g"), "25");
    EXPECT_EQ(task.AudioCodecName, "mp2");

    EXPECT_EQ(ParseError(task, "-vpre " + dir.File("none"))
                  .rfind("Preset file \"" + dir.File("none") + "\" not found", 0),
              0u);
    const std::string bad = dir.File("bad.ffpreset");
    std::ofstream(bad) << "zzunknown=1\ng=7\n=x\n";
    EXPECT_EQ(ParseError(task, "-apre " + bad)
                  .rfind("Unrecognized option \"zzunknown\"\r\n" + bad +
                             ": Invalid option or argument: \"zzunknown=1\", parsed as "
                             "\"zzunknown\" = \"1\"",
                         0),
              0u);
    TCustomFFmpeg lenient;
    lenient.StrictOptions = false;
    lenient.ParseOptions("-apre " + bad);
    EXPECT_EQ(CodecOpt(lenient, "g"), "7");  // reading went on past the failing line
    EXPECT_TRUE(Logged(llError, bad + ": Invalid syntax: \"=x\""));
}

TEST_F(TaskTest, TimestampBecomesCreationTimeInLocalTime) {
    const char* savedTz = std::getenv("TZ");
    const std::string saved = savedTz ? savedTz : "";
    setenv("TZ", "Etc/GMT-2", 1);  // two hours ahead of UTC
    tzset();
    TCustomFFmpeg task;
    task.ParseOptions("-timestamp 2020-01-02T01:04:05Z");
    setenv("TZ", "UTC", 1);
    tzset();
    TCustomFFmpeg utc;
    utc.ParseOptions("-timestamp 2020-01-02T01:04:05Z");
    if (savedTz)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
    ASSERT_EQ(task.Options.Metadata.size(), 1u);
    EXPECT_EQ(task.Options.Metadata[0].Value, "creation_time=2020-01-02 03:04:05 UTC+02:00");
    EXPECT_EQ(utc.Options.Metadata[0].Value, "creation_time=2020-01-02 01:04:05 UTC");
    EXPECT_TRUE(Logged(llWarning,
                       "timestamp is deprecated, set the \"creation_time\" metadata tag instead."));
}

TEST_F(TaskTest, FilesAndChannelsOptions) {
    TCustomFFmpeg task;
    task.ParseOptions("-attach a.ttf -attach b.ttf -vstats -map_channel -1 -map_channel -1:0.1");
    EXPECT_EQ(task.Options.Attachments, (std::vector<std::string>{"a.ttf", "b.ttf"}));
    EXPECT_TRUE(std::regex_match(task.VStatsFileName, std::regex("vstats_[0-9]{6}\\.log")));
    ASSERT_EQ(task.Options.AudioChannelMaps.size(), 2u);
    EXPECT_EQ(task.Options.AudioChannelMaps[0].FileIndex, -1);
    EXPECT_EQ(task.Options.AudioChannelMaps[0].OutFileIndex, -1);
    EXPECT_EQ(task.Options.AudioChannelMaps[1].OutStreamIndex, 1);
    EXPECT_EQ(ParseError(task, "-map_channel x"),
              "Syntax error, mapchan usage: [file.stream.channel|-1][:syncfile:syncstream]");
    EXPECT_EQ(ParseError(task, "-map_channel 0.0.1"), "mapchan: invalid input file index: 0");
    EXPECT_EQ(ParseError(task, "-map 0"), "Invalid input file index: 0.");
}

TEST_F(TaskTest, HookOptions) {
    TCustomFFmpeg task;
    task.ParseOptions("-VideoHookBitsPixel 32");
    EXPECT_EQ(task.VideoHookBitsPixel, 32);
    EXPECT_EQ(ParseError(task, "-VideoHookBitsPixel deep")
                  .rfind("Expected integer for VideoHookBitsPixel but found deep", 0),
              0u);
    EXPECT_EQ(ParseError(task, "-vhook \"/no/such/hook.so|-x 1\""),
              "Failed to add video hook function: /no/such/hook.so|-x 1");
    EXPECT_FALSE(task.UseFrameHook);
}
