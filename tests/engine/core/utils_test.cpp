// Report texts, error texts, path helpers, file names for the libraries and whole-file reading.
#include <gtest/gtest.h>

#include <fstream>

#include "engine/core/FFUtils.h"
#include "engine/core/IOWatchdog.h"
#include "engine/core/MyUtils.h"
#include "engine/core/TextFormat.h"
#include "engine/core/UnicodeProtocol.h"
#include "engine/loader/FFLoad.h"
#include "engine/log/FFLog.h"
#include "platform/Exception.h"
#include "tests/common/LogCapture.h"
#include "tests/common/TestSupport.h"

namespace {

using testsupport::TempDir;

TEST(ErrorTextTest, NamesTheCode) {
    EXPECT_EQ(ErrorText("x", -2), "x: No such file or directory");
    EXPECT_EQ(ErrorText("x", -10061), "x: Connection refused");
    EXPECT_EQ(ErrorText("x", -111), "x: Connection refused");
    EXPECT_EQ(ErrorText("x", -42), "x: Error number -42 occurred");
    EXPECT_EQ(ErrorText("open", AVERROR_EOF), "open: End of file");
    EXPECT_EQ(ErrorText("open", AVERROR_INVALIDDATA),
              "open: Invalid data found when processing input");
    EXPECT_EQ(ErrorText("open", AVERROR_DECODER_NOT_FOUND), "open: Decoder not found");
    EXPECT_EQ(ErrorText("x", -22),
              "x: Invalid argument / Invalid data found when processing input");
    EXPECT_EQ(ErrorText("x", -11004), "x: WSANO_DATA");
    EXPECT_EQ(ErrorText("x", -131), "x: State not recoverable");
    EXPECT_EQ(ErrorText("x", AVERROR_EXPERIMENTAL), "x: Experimental feature");
    EXPECT_EQ(ErrorText("x", 5), "x: Error number 5 occurred");
}

TEST(TextFormatTest, FormatsWholeTextsAndTrims) {
    EXPECT_EQ(StrFormat("%s #%d: %.2f", "stream", 3, 0.5), "stream #3: 0.50");
    EXPECT_EQ(StrFormat("%s", ""), "");
    // Texts longer than any internal buffer come back whole.
    const std::string longText(5000, 'x');
    EXPECT_EQ(StrFormat("[%s]%d", longText.c_str(), 7), "[" + longText + "]7");

    EXPECT_EQ(Trim(" \t key = value \r\n"), "key = value");
    EXPECT_EQ(Trim(" \t\r\n"), "");
    EXPECT_EQ(Trim("x"), "x");
}

TEST(IOWatchdogTest, VerdictsOfTheOneClock) {
    TIOWatchdog watchdog;
    EXPECT_EQ(watchdog.Check(1000), ioContinue);  // no call timed
    watchdog.Start();
    EXPECT_EQ(watchdog.Check(60000), ioContinue);
    watchdog.StartAt(TIOWatchdog::Now() - 2000000);
    EXPECT_EQ(watchdog.Check(1000), ioTimedOut);
    EXPECT_EQ(watchdog.Check(3000), ioContinue);
    EXPECT_EQ(watchdog.Check(0), ioContinue);  // no time-out
    watchdog.Cancel();
    EXPECT_EQ(watchdog.Check(60000), ioCancelled);
    EXPECT_EQ(watchdog.Check(0), ioContinue);
    watchdog.Stop();
    EXPECT_EQ(watchdog.Check(1), ioContinue);
}

TEST(ReportTextTest, FormatSize) {
    EXPECT_EQ(FormatSize(0), "0 Byte");
    EXPECT_EQ(FormatSize(1024), "1024 Byte");
    EXPECT_EQ(FormatSize(1025), "1.00 KB");
    EXPECT_EQ(FormatSize(1536), "1.50 KB");
    EXPECT_EQ(FormatSize(1048576), "1024.00 KB");
    EXPECT_EQ(FormatSize(1048577), "1.00 MB");
    EXPECT_EQ(FormatSize(1073741825), "1.00 GB");
    EXPECT_EQ(FormatSize(int64_t(5) << 40), "5120.00 GB");
}

TEST(ReportTextTest, FormatTimestamp) {
    EXPECT_EQ(FormatTimestamp(3723004000), "01:02:03.004");
    EXPECT_EQ(FormatTimestamp(0), "00:00:00.000");
    EXPECT_EQ(FormatTimestamp(999), "00:00:00.000");
    EXPECT_EQ(FormatTimestamp(AV_NOPTS_VALUE), "N/A");
    EXPECT_EQ(FormatTimestamp(-1500000), "-00:00:01.500");
    EXPECT_EQ(FormatTimestamp(int64_t(100) * 3600 * 1000000), "100:00:00.000");
    EXPECT_EQ(FormatStreamTimestamp(AV_NOPTS_VALUE, AVRational{1, 90000}), "N/A");
}

TEST(ReportTextTest, FrameDurationAndUnknownNames) {
    EXPECT_EQ(FrameDuration(AVRational{25, 1}), 40000);
    EXPECT_EQ(FrameDuration(AVRational{30000, 1001}), 33366);
    EXPECT_EQ(FrameDuration(AVRational{0, 1}), 40000);
    EXPECT_EQ(FrameDuration(AVRational{25, 0}), 40000);
    EXPECT_EQ(PictureTypeName(0), "Unknown");
    EXPECT_EQ(MediaTypeName(AVMEDIA_TYPE_UNKNOWN), "Unknown");
}

TEST(PathTest, SplitFirst) {
    std::string text = "a=b=c", head;
    SplitFirst(text, "=", true, head);
    EXPECT_EQ(head, "a");
    EXPECT_EQ(text, "b=c");
    SplitFirst(text, "=", false, head);
    EXPECT_EQ(head, "b");
    EXPECT_EQ(text, "b=c");
    text = "whole";
    SplitFirst(text, ":", true, head);
    EXPECT_EQ(head, "whole");
    EXPECT_EQ(text, "");
}

TEST(PathTest, DelimitersAndCharacterKinds) {
    EXPECT_EQ(LastDelimiter("/.", "/a/b.c"), 5);
    EXPECT_EQ(LastDelimiter("/", "name"), 0);
    EXPECT_TRUE(IsPathDelimiter("/a/", 3));
    EXPECT_FALSE(IsPathDelimiter("/a/", 4));
    const std::string cyrillic = "a\xD0\xAF";  // "a" and CYRILLIC CAPITAL LETTER YA
    EXPECT_EQ(CharKindAt(cyrillic, 1), 0);
    EXPECT_EQ(CharKindAt(cyrillic, 2), 1);
    EXPECT_EQ(CharKindAt(cyrillic, 3), 2);
    EXPECT_EQ(CharKindAt(cyrillic, 4), 0);
    EXPECT_TRUE(IsSurrogate(0xD800));
    EXPECT_FALSE(IsSurrogate(0xE000));
}

TEST(PathTest, FileQueries) {
    TempDir dir;
    { std::ofstream(dir.File("five.bin")) << "12345"; }
    EXPECT_EQ(FileSizeW(dir.File("five.bin")), 5);
    EXPECT_EQ(FileSizeW(dir.File("none")), -1);
    EXPECT_EQ(FileSizeW(dir.Path()), -1);
    EXPECT_TRUE(FileExistsW(dir.File("five.bin")));
    EXPECT_FALSE(FileExistsW(dir.Path()));
}

TEST(LibNameTest, RefusesNamesTheLibrariesWouldGetWrong) {
    const std::string longest(MaxLibNameBytes, 'n');
    EXPECT_EQ(WideToLibName(longest), longest);
    EXPECT_THROW(WideToLibName(longest + "n"), Exception);
    EXPECT_THROW(WideToLibName(std::string("a\0b", 3)), Exception);
    EXPECT_EQ(WideToLibName("/tmp/\xD0\xAF.mp4"), "/tmp/\xD0\xAF.mp4");
    EXPECT_EQ(LibNameToWide(nullptr), "");
}

class LibraryUtilsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FFLoader().LoadLibs(FullLibrarySet)) << FFLoader().LastErrorMessage();
    }
    TFFLogger logger;
    testsupport::TLogCapture log{logger};
};

TEST_F(LibraryUtilsTest, ReadWholeFile) {
    TempDir dir;
    const std::string name = dir.File("\xD0\xAF-stats.log");  // a name outside ASCII
    { std::ofstream(name, std::ios::binary) << std::string("ab\0c", 4); }
    uint8_t* buffer = nullptr;
    size_t size = 0;
    ASSERT_EQ(ReadWholeFile(name, &buffer, &size), 0);
    ASSERT_EQ(size, 5u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), std::string("ab\0c\0", 5));
    libav::av_free(buffer);

    { std::ofstream(dir.File("empty")); }
    ASSERT_EQ(ReadWholeFile(dir.File("empty"), &buffer, &size), 0);
    EXPECT_EQ(size, 1u);
    EXPECT_EQ(buffer[0], 0);
    libav::av_free(buffer);

    EXPECT_EQ(ReadWholeFile(dir.File("missing"), &buffer, &size), -1);
    EXPECT_EQ(buffer, nullptr);
    EXPECT_EQ(log.Last().Text, "Cannot read file \"" + dir.File("missing") + "\"");

    EXPECT_LT(ReadWholeFile(dir.Path(), &buffer, &size), 0);
    EXPECT_EQ(buffer, nullptr);
}

TEST_F(LibraryUtilsTest, CodecDisplayName) {
    AVCodecContext context{};
    context.codec_id = AV_CODEC_ID_RAWVIDEO;
    EXPECT_EQ(CodecDisplayName(&context, true), "rawvideo(raw video)");
    context.codec_id = AV_CODEC_ID_MPEG2TS;
    EXPECT_EQ(CodecDisplayName(&context, false), "mpeg2ts");
    context.codec_id = AV_CODEC_ID_NONE;
    context.codec_tag = MKTAG('a', 'b', 'c', 'd');
    EXPECT_EQ(CodecDisplayName(&context, false), "abcd / 0x64636261");
    context.codec_tag = 1;
    EXPECT_EQ(CodecDisplayName(&context, false), "0x0001");
}

TEST_F(LibraryUtilsTest, DictValue) {
    AVDictionary* dict = nullptr;
    libav::av_dict_set(&dict, "title", "Clip", 0);
    EXPECT_EQ(DictValue(dict, "title", "-"), "Clip");
    EXPECT_EQ(DictValue(dict, "tit", "-"), "-");
    EXPECT_EQ(DictValue(nullptr, "title", "-"), "-");
    libav::av_dict_free(&dict);
}

}  // namespace
