// The command line read into settings, the help made from the option table, the option strings
// of a task built from the settings and the clip, and the progress bar's line.
#include <gtest/gtest.h>

#include "app/core/TaskOptions.h"
#include "cli/CliOptions.h"
#include "cli/OptionHelp.h"
#include "cli/OptionTable.h"
#include "cli/ProgressBar.h"
#include "tests/common/TestSupport.h"

namespace {

constexpr int64_t kSecond = 1000000;

TCliRequest Parse(const std::vector<std::string>& args) { return ParseCommandLine(args); }

// The text with every run of blanks and line breaks made one blank: as it reads, not as wrapped.
std::string Flowing(const std::string& text) {
    std::string flowing;
    for (const char c : text) {
        const bool blank = c == ' ' || c == '\n';
        if (!blank)
            flowing += c;
        else if (!flowing.empty() && flowing.back() != ' ')
            flowing += ' ';
    }
    return flowing;
}

TEST(CliCommandLine, EveryOptionInBothSpellings) {
    const TCliRequest request =
        Parse({"-s", "qvga", "--start=1:02.5", "--end", "70", "-r", "12.5", "--loop=3", "--dither",
               "Stucki", "--optimize", "-o", "out.gif", "-q", "--", "-odd name.mp4"});
    const TConvertSettings& s = request.Settings;
    EXPECT_EQ(s.Size.Width, 320);
    EXPECT_EQ(s.Size.Height, 240);
    EXPECT_EQ(s.Start, 62500000);
    EXPECT_EQ(s.End, 70 * kSecond);
    EXPECT_EQ(s.FrameRate, 12.5);
    EXPECT_EQ(s.Timing.LoopCount, 3);
    EXPECT_EQ(s.Dither, dcStucki);
    EXPECT_TRUE(s.Optimize);
    EXPECT_EQ(s.Output, "out.gif");
    EXPECT_TRUE(s.Quiet);
    EXPECT_EQ(s.Files, std::vector<std::string>{"-odd name.mp4"});

    EXPECT_EQ(Parse({"--width", "200", "-v", "a", "b"}).Settings.AspectWidth, 200);
    EXPECT_FALSE(Parse({"--no-loop", "a"}).Settings.Timing.Looping);
    EXPECT_FALSE(Parse({"--no-timing", "a"}).Settings.Timing.Enabled);
    EXPECT_EQ(Parse({"--size", "1x16384", "a"}).Settings.Size.Height, 16384);
    const std::vector<std::string>& dithers = FindCliOption("--dither")->Choices;
    ASSERT_EQ(dithers.size(), 8u);
    for (size_t i = 0; i < dithers.size(); ++i)
        EXPECT_EQ(Parse({"--dither", dithers[i], "a"}).Settings.Dither,
                  static_cast<TDitherChoice>(i));
}

TEST(CliCommandLine, HelpVersionAndInfo) {
    EXPECT_EQ(Parse({"a", "--help", "--bogus"}).Action, TCliAction::Help);
    EXPECT_EQ(Parse({"-h"}).Action, TCliAction::Help);
    EXPECT_EQ(Parse({"--version"}).Action, TCliAction::Version);
    const TCliRequest info = Parse({"--info", "clip.mp4"});
    EXPECT_EQ(info.Action, TCliAction::Info);
    EXPECT_EQ(info.InfoFile, "clip.mp4");
    EXPECT_EQ(testsupport::ErrorOf<TUsageError>([] {
                  Parse({"--info", "a", "-q"});
              }),
              "--info takes one FILE and nothing else");
    EXPECT_EQ(testsupport::ErrorOf<TUsageError>([] {
                  Parse({"--end", "0", "a"});
              }),
              "--end must come after --start");
    EXPECT_EQ(testsupport::ErrorOf<TUsageError>([] {
                  Parse({"--fps", "50.5", "a"});
              }),
              "--fps takes a frame rate above 0 and up to 50, not \"50.5\"");
    EXPECT_EQ(testsupport::ErrorOf<TUsageError>([] {
                  Parse({"--info", ""});
              }),
              "--info takes a file name, not \"\"");

    // Every option of the table is in the help, with a text, in lines of at most 79 columns.
    const std::string help = HelpText();
    for (const char* option :
         {"-s, --size SIZE", "--width W", "--start TIME", "--end TIME", "-r, --fps N", "--loop N",
          "--no-loop", "--no-timing", "--dither NAME", "--optimize", "-o, --output PATH",
          "-q, --quiet", "-v, --verbose", "-h, --help", "--version", "--info FILE"})
        EXPECT_NE(help.find(std::string(option) + " "), std::string::npos) << option;
    // Ranges and choices follow the text, named by the argument.
    const std::string flowing = Flowing(help);
    for (const char* range :
         {"Costs 19 bytes. N: a whole number from 0 to 65535.",
          "N: a frame rate above 0 and up to 50.", "W: a whole number from 1 to 16384.",
          "NAME: one of none, floyd-steinberg, stucki, sierra, jajuni, steve-arche, burkes, "
          "pattern."})
        EXPECT_NE(flowing.find(range), std::string::npos) << range;
    size_t start = 0;
    while (start < help.size()) {
        const size_t end = help.find('\n', start);
        EXPECT_LE(end - start, 79u) << help.substr(start, end - start);
        start = end + 1;
    }
}

TClipFacts Clip(int width, int height, double aspect, double rate, int64_t duration) {
    TClipFacts facts;
    facts.HasVideo = true;
    facts.Width = width;
    facts.Height = height;
    facts.AspectRatio = aspect;
    facts.FrameRate = rate;
    facts.Duration = duration;
    return facts;
}

TEST(CliTaskOptions, CutSizeRateAndTiming) {
    const TClipFacts clip = Clip(640, 480, 4.0 / 3, 30, 10 * kSecond);
    // The fitted colours take frames in red, green, blue order; the octree colours in blue,
    // green, red.
    const char* const kRoad = " -f rawrgb -c:v rawvideo -pix_fmt rgb24";

    TConvertSettings settings;
    TTaskOptionTexts texts = BuildTaskOptions(settings, clip);
    EXPECT_EQ(texts.Input, "");
    EXPECT_EQ(texts.Output, std::string(kRoad) + " -vsync vfr");
    EXPECT_EQ(texts.Length, 10 * kSecond);

    settings.Start = kSecond;
    settings.End = 2500000;
    texts = BuildTaskOptions(settings, clip);
    EXPECT_EQ(texts.Input, " -ss 1");
    EXPECT_EQ(texts.Output, std::string(kRoad) + " -vsync vfr -t 1.5");
    EXPECT_EQ(texts.Length, 1500000);

    // A start alone cuts nothing off the end; an end alone starts at the beginning.
    settings.End = TConvertSettings::kUnsetTime;
    texts = BuildTaskOptions(settings, clip);
    EXPECT_EQ(texts.Input, " -ss 1");
    EXPECT_EQ(texts.Output, std::string(kRoad) + " -vsync vfr");
    EXPECT_EQ(texts.Length, 9 * kSecond);
    settings.Start = TConvertSettings::kUnsetTime;
    settings.End = 2 * kSecond;
    texts = BuildTaskOptions(settings, clip);
    EXPECT_EQ(texts.Input, "");
    EXPECT_EQ(texts.Output, std::string(kRoad) + " -vsync vfr -t 2");
    // A piece that goes on past the clip's end lasts as long as what is left of the clip.
    settings.Start = kSecond;
    settings.End = 600 * kSecond;
    EXPECT_EQ(BuildTaskOptions(settings, clip).Length, 9 * kSecond);
    EXPECT_EQ(BuildTaskOptions(settings, Clip(640, 480, 4.0 / 3, 30, 0)).Length, 599 * kSecond);

    // Without timing every frame shows alike: a constant rate; the clip's 60 become 50.
    settings = TConvertSettings();
    settings.Timing.Enabled = false;
    settings.Size = {320, 240};
    texts = BuildTaskOptions(settings, Clip(640, 480, 4.0 / 3, 60, 0));
    EXPECT_EQ(texts.Output, std::string(kRoad) + " -r 50 -vf \"fps=50,scale=320:240\"");
    EXPECT_EQ(texts.Length, 0);
    settings.FrameRate = 8;
    texts = BuildTaskOptions(settings, clip);
    EXPECT_EQ(texts.Output, std::string(kRoad) + " -r 8 -vf \"fps=8,scale=320:240\"");
    settings.Colors = TFrameColors::Octree;
    texts = BuildTaskOptions(settings, clip);
    EXPECT_EQ(texts.Output,
              " -f rawrgb -c:v rawvideo -pix_fmt bgr24 -r 8 -vf \"fps=8,scale=320:240\"");
}

TEST(CliTaskOptions, WidthKeepsTheAspectRatioAsShown) {
    TConvertSettings settings;
    settings.AspectWidth = 320;
    // Square pixels.
    TTaskOptionTexts texts = BuildTaskOptions(settings, Clip(1280, 720, 16.0 / 9, 25, 0));
    EXPECT_EQ(texts.Width, 320);
    EXPECT_EQ(texts.Height, 180);
    EXPECT_NE(texts.Output.find(" -vf \"scale=320:180\""), std::string::npos);
    // Stored 720x576, shown 16:9.
    texts = BuildTaskOptions(settings, Clip(720, 576, 16.0 / 9, 25, 0));
    EXPECT_EQ(texts.Height, 180);
    // Aspect unknown: the stored size's.
    texts = BuildTaskOptions(settings, Clip(400, 300, 0, 25, 0));
    EXPECT_EQ(texts.Height, 240);
    // Never below one pixel.
    settings.AspectWidth = 1;
    texts = BuildTaskOptions(settings, Clip(1000, 10, 100, 25, 0));
    EXPECT_EQ(texts.Height, 1);
}

// Without a size, a clip whose pixels are not square is scaled to the size it is shown at; the
// stream players show is mapped when the file has several.
TEST(CliTaskOptions, ShownSizeAndStream) {
    TConvertSettings settings;
    TClipFacts clip = Clip(1024, 576, 16.0 / 9, 25, 0);
    TTaskOptionTexts texts = BuildTaskOptions(settings, clip);
    EXPECT_EQ(texts.Output.find("scale"), std::string::npos) << texts.Output;
    clip.SquarePixels = false;
    clip.VideoStream = 1;
    texts = BuildTaskOptions(settings, clip);
    EXPECT_EQ(texts.Width, 1024);
    EXPECT_EQ(texts.Height, 576);
    EXPECT_EQ(texts.Output,
              " -f rawrgb -c:v rawvideo -pix_fmt rgb24 -map 0:1 -vsync vfr -vf \"scale=1024:576\"");
    settings.Size = {320, 240};
    texts = BuildTaskOptions(settings, clip);
    EXPECT_EQ(texts.Width, 320);
}

TEST(CliProgressBar, OneLineThatFitsTheTerminal) {
    TProgressState state;
    state.Done = 2 * kSecond;
    state.Length = 8 * kSecond;
    state.Frames = 50;
    state.Elapsed = 2;
    EXPECT_EQ(ProgressBarText(state, 79),
              " 25% [#######-----------------------]     50 frames  25.0 fps  0:06 left");
    // Narrow: the bar gives way, then the line is cut.
    EXPECT_EQ(ProgressBarText(state, 50), " 25%     50 frames  25.0 fps  0:06 left");
    EXPECT_EQ(ProgressBarText(state, 10).size(), 10u);
    // Unknown length: no share, no time left.
    state.Length = 0;
    EXPECT_EQ(ProgressBarText(state, 79), "    50 frames  25.0 fps");
    // Nothing done yet: no time left to tell; done past the length: 100%.
    state.Length = 8 * kSecond;
    state.Done = 0;
    state.Frames = 0;
    EXPECT_EQ(ProgressBarText(state, 79).find("left"), std::string::npos);
    state.Done = 9 * kSecond;
    state.Frames = 200;
    EXPECT_EQ(ProgressBarText(state, 79).substr(0, 5), "100% ");
    EXPECT_EQ(ClockText(59.6), "1:00");
    EXPECT_EQ(ClockText(3725), "1:02:05");
}

}  // namespace
