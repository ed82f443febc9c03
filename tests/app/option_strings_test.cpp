// The option strings of a conversion: the exact texts, the general number format, a user
// locale with a decimal comma, and the engine's option parser reading every text back.
#include "app/core/OptionStrings.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "engine/task/FFmpegTask.h"
#include "tests/common/TestSupport.h"
#include "tests/engine/media_test_support.h"

namespace {

constexpr int64_t kSecond = 1000000;

TClipCut Cut(int64_t start, int64_t end, int64_t first = TClipCut::kUnsetFirst) {
    return {.Checked = true, .StartTime = start, .EndTime = end, .FirstTime = first};
}

TOutputChoice Choice(const std::string& size, TClipCut cut = {}) {
    TOutputChoice choice;
    choice.FrameSize = size;
    choice.Cut = cut;
    return choice;
}

TEST(OptionStrings, TextsOfTheDialog) {
    const TClipCut cut = Cut(2 * kSecond, 4500000);
    EXPECT_EQ(BuildInputOptionsText(cut), " -ss 2");
    EXPECT_EQ(BuildOutputOptionsText(Choice("", cut)),
              " -f rawrgb -c:v rawvideo -pix_fmt bgr24 -t 2.5");
    EXPECT_EQ(BuildOutputOptionsText(Choice("320x240", cut)),
              " -f rawrgb -c:v rawvideo -pix_fmt bgr24 -t 2.5 -vf \"scale=320:240\"");
    EXPECT_EQ(BuildInputOptionsText(Cut(12040000, 20 * kSecond)), " -ss 12.04");
    EXPECT_EQ(BuildOutputOptionsText(Choice("")), " -f rawrgb -c:v rawvideo -pix_fmt bgr24");
    // only the first "x" becomes ":"
    EXPECT_EQ(BuildOutputOptionsText(Choice("2x2x2")),
              " -f rawrgb -c:v rawvideo -pix_fmt bgr24 -vf \"scale=2:2x2\"");
}

TEST(OptionStrings, CutAppliesOnlyWhenCheckedAndStartBeforeEnd) {
    for (const TClipCut& cut : {TClipCut{}, Cut(3 * kSecond, 3 * kSecond),
                                Cut(4 * kSecond, 3 * kSecond), Cut(TClipCut::kUnsetStart, 0),
                                TClipCut{.Checked = false, .StartTime = 0, .EndTime = kSecond}}) {
        EXPECT_EQ(BuildInputOptionsText(cut), "");
        EXPECT_EQ(BuildOutputOptionsText(Choice("", cut)),
                  " -f rawrgb -c:v rawvideo -pix_fmt bgr24");
    }
    // A file whose first frame has a negative time is sought from that frame.
    EXPECT_EQ(BuildInputOptionsText(Cut(2 * kSecond, 3 * kSecond, -500000)), " -ss 2.5");
    EXPECT_EQ(BuildInputOptionsText(Cut(2 * kSecond, 3 * kSecond, 700000)), " -ss 2");
    EXPECT_EQ(BuildInputOptionsText(Cut(0, 1, 0)), " -ss 0");
}

TEST(OptionStrings, SizeOnlyForAFileWithVideo) {
    TOutputChoice choice = Choice("1280x720");
    choice.HasVideo = false;
    EXPECT_EQ(BuildOutputOptionsText(choice), " -f rawrgb -c:v rawvideo -pix_fmt bgr24");
    EXPECT_EQ(FrameSizeOfItem("320x240 - qvga"), "320x240");
    EXPECT_EQ(FrameSizeOfItem("1920x1080 - hd1080"), "1920x1080");
    EXPECT_EQ(FrameSizeOfItem(" 320x240"), "");
    EXPECT_EQ(FrameSizeOfItem("320x240"), "");
}

TEST(OptionStrings, MapsTheVideoStreamChosen) {
    TOutputChoice choice = Choice("320x240");
    choice.VideoStream = 2;
    EXPECT_EQ(BuildOutputOptionsText(choice),
              " -f rawrgb -c:v rawvideo -pix_fmt bgr24 -map 0:2 -vf \"scale=320:240\"");
    choice.HasVideo = false;
    EXPECT_EQ(BuildOutputOptionsText(choice), " -f rawrgb -c:v rawvideo -pix_fmt bgr24");
}

TEST(OptionStrings, OutputRateOnlyAboveTheMaximumOrWhenAskedFor) {
    TOutputChoice choice = Choice("", Cut(0, kSecond));
    choice.ClipFrameRate = 60000.0 / 1001;
    EXPECT_EQ(BuildOutputOptionsText(choice),
              " -f rawrgb -c:v rawvideo -pix_fmt bgr24 -r 50 -t 1 -vf \"fps=50\"");
    choice.ClipFrameRate = 50;
    EXPECT_EQ(BuildOutputOptionsText(choice), " -f rawrgb -c:v rawvideo -pix_fmt bgr24 -t 1");
    choice.ClipFrameRate = 0;  // unknown
    EXPECT_EQ(BuildOutputOptionsText(choice), " -f rawrgb -c:v rawvideo -pix_fmt bgr24 -t 1");
    choice.ClipFrameRate = 120;
    choice.MaxFrameRate = 0;  // no limit
    EXPECT_EQ(BuildOutputOptionsText(choice), " -f rawrgb -c:v rawvideo -pix_fmt bgr24 -t 1");
    choice.FrameRate = 12.5;  // asked for: always, whatever the clip
    EXPECT_EQ(BuildOutputOptionsText(choice),
              " -f rawrgb -c:v rawvideo -pix_fmt bgr24 -r 12.5 -t 1 -vf \"fps=12.5\"");
    // Never above 50, whatever the maximum.
    choice.FrameRate = 60;
    EXPECT_EQ(BuildOutputOptionsText(choice),
              " -f rawrgb -c:v rawvideo -pix_fmt bgr24 -r 50 -t 1 -vf \"fps=50\"");
    EXPECT_EQ(OutputFrameRate(choice), 50);
    // The rate's filter comes only with a picture to filter.
    choice.HasVideo = false;
    EXPECT_EQ(BuildOutputOptionsText(choice), " -f rawrgb -c:v rawvideo -pix_fmt bgr24 -r 50 -t 1");
}

TEST(OptionStrings, FramesKeepTheirTimesOnlyWhenAskedFor) {
    TOutputChoice choice = Choice("320x240", Cut(0, kSecond));
    choice.ClipFrameRate = 60;
    choice.VariableFrameRate = true;
    EXPECT_EQ(BuildOutputOptionsText(choice),
              " -f rawrgb -c:v rawvideo -pix_fmt bgr24 -vsync vfr -r 50 -t 1 -vf "
              "\"fps=50,scale=320:240\"");
    choice.VariableFrameRate = false;
    EXPECT_EQ(BuildOutputOptionsText(choice),
              " -f rawrgb -c:v rawvideo -pix_fmt bgr24 -r 50 -t 1 -vf \"fps=50,scale=320:240\"");
}

TEST(OptionStrings, GeneralFormat) {
    const std::pair<double, const char*> cases[] = {
        {2.5, "2.5"},
        {10, "10"},
        {0.04, "0.04"},
        {12.04, "12.04"},
        {0, "0"},
        {-2.5, "-2.5"},
        {1.0 / 3, "0.333333333333333"},
        {2.0 / 3, "0.666666666666667"},
        {123456.7, "123456.7"},
        {0.00001, "0.00001"},
        {0.0000123, "0.0000123"},
        {0.000001, "1E-6"},
        {0.00000125, "1.25E-6"},
        {999999999999999.0, "999999999999999"},
        {1e15, "1E15"},
        {1.5e20, "1.5E20"},
        {29.97, "29.97"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(FormatGeneral(value), text) << value;
}

TEST(OptionStrings, SecondsAreTheGeneralFormatWithoutExponents) {
    for (int64_t us : {10LL, 40000LL, 2500000LL, 12040000LL, 123456789LL, 3600000001LL,
                       86400123456LL, -2500000LL, 999999999999999LL})
        EXPECT_EQ(SecondsText(us), FormatGeneral(static_cast<double>(us) / 1000000)) << us;
    EXPECT_EQ(SecondsText(1), "0.000001");
    EXPECT_EQ(SecondsText(9), "0.000009");
    EXPECT_EQ(SecondsText(0), "0");
    EXPECT_EQ(SecondsText(INT64_MIN), "-9223372036854.775808");
}

// A German locale (decimal comma), made into a temporary folder with localedef; null when this
// machine cannot make it.
class TCommaLocale {
public:
    TCommaLocale() {
        const std::string command = "localedef -i de_DE -f UTF-8 -c " +
                                    testsupport::ShellQuote(dir_.File("de_DE.UTF-8")) +
                                    " >/dev/null 2>&1";
        if (testsupport::Run(command).exitCode > 1) return;  // 1: made, with warnings
        setenv("LOCPATH", dir_.Path().c_str(), 1);
        active_ = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    }
    ~TCommaLocale() {
        std::setlocale(LC_ALL, "C");
        unsetenv("LOCPATH");
    }
    bool Active() const { return active_; }

private:
    testsupport::TempDir dir_;
    bool active_ = false;
};

TEST(OptionStrings, DecimalPointWhateverTheLocale) {
    TCommaLocale locale;
    if (!locale.Active()) GTEST_SKIP() << "no de_DE locale can be made here (localedef)";
    char printed[16];
    std::snprintf(printed, sizeof printed, "%.1f", 2.5);
    ASSERT_STREQ(printed, "2,5");  // the locale is in force
    EXPECT_EQ(FormatGeneral(2.5), "2.5");
    EXPECT_EQ(FormatGeneral(1.25e-7), "1.25E-7");
    TOutputChoice choice = Choice("320x240", Cut(1500000, 4 * kSecond));
    choice.FrameRate = 12.5;
    EXPECT_EQ(BuildOutputOptionsText(choice),
              " -f rawrgb -c:v rawvideo -pix_fmt bgr24 -r 12.5 -t 2.5 -vf "
              "\"fps=12.5,scale=320:240\"");
    EXPECT_EQ(BuildInputOptionsText(Cut(1500000, 4 * kSecond)), " -ss 1.5");
}

TEST(OptionStrings, EngineReadsTheTextsBack) {
    mediatest::LoadMediaLibraries();
    TOutputChoice choice = Choice("320x240", Cut(1, 2500001));
    choice.ClipFrameRate = 59.94;
    TCustomFFmpeg output;
    output.ParseOptions(BuildOutputOptionsText(choice));
    EXPECT_EQ(output.Options.FormatName, "rawrgb");
    EXPECT_EQ(output.Options.RecordingTime, 2500000);
    ASSERT_EQ(output.Options.FrameRates.size(), 1u);
    EXPECT_EQ(output.Options.FrameRates[0].Value, "50");
    ASSERT_EQ(output.Options.Filters.size(), 1u);
    EXPECT_EQ(output.Options.Filters[0].Value, "fps=50,scale=320:240");
    for (int64_t start : {1LL, 9LL, 40000LL, 12040000LL, 3723456789LL}) {
        TCustomFFmpeg input;
        input.ParseOptions(BuildInputOptionsText(Cut(start, start + 1)));
        EXPECT_EQ(input.Options.StartTime, start);
    }
}

}  // namespace
