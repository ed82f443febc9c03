// Values the command line takes: frame sizes (the options dialog's list, "WxH") and times
// (seconds or [hh:]mm:ss[.fff]).
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/core/FrameSizes.h"
#include "app/core/OptionStrings.h"
#include "app/core/TimeText.h"

namespace {

TEST(FrameSizes, TheDialogsListInOrder) {
    const auto presets = FrameSizePresets();
    ASSERT_EQ(presets.size(), 29u);
    EXPECT_STREQ(presets[0].ItemText, "Auto - Original");
    EXPECT_EQ(presets[0].Width, 0);
    EXPECT_STREQ(presets[6].ItemText, "320x240 - qvga");
    EXPECT_STREQ(presets[28].ItemText, "1920x1080 - hd1080");
    std::set<std::string> names;
    for (size_t i = 1; i < presets.size(); ++i) {
        // The size in the item's text is the preset's size, and the name ends the text.
        const std::string text = presets[i].ItemText;
        EXPECT_EQ(FrameSizeOfItem(text),
                  std::to_string(presets[i].Width) + "x" + std::to_string(presets[i].Height));
        EXPECT_EQ(text.substr(text.rfind(' ') + 1), presets[i].Name);
        names.insert(presets[i].Name);
    }
    EXPECT_EQ(names.size(), 28u);
}

TEST(FrameSizes, NamesAndWidthByHeight) {
    int width = -1;
    int height = -1;
    ASSERT_TRUE(ParseFrameSize("qvga", width, height));
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);
    ASSERT_TRUE(ParseFrameSize("HD720", width, height));
    EXPECT_EQ(width, 1280);
    ASSERT_TRUE(ParseFrameSize("852x480", width, height));
    EXPECT_EQ(height, 480);
    ASSERT_TRUE(ParseFrameSize("1x65535", width, height));
    EXPECT_EQ(height, 65535);
    for (const char* bad :
         {"", "x", "320x", "x240", "320X240", "320x240x2", "0x240", "-320x240", "+320x240",
          "320x65536", "320 x 240", "huge", "auto", "99999999999x1"}) {
        width = height = -1;
        EXPECT_FALSE(ParseFrameSize(bad, width, height)) << bad;
        EXPECT_EQ(width, -1);
    }
}

TEST(TimeText, SecondsAndClockForms) {
    const std::pair<const char*, int64_t> cases[] = {
        {"2.5", 2500000},        {"0", 0},
        {"90", 90000000},        {"1:30", 90000000},
        {"90:00", 5400000000},   {"01:02:03.456", 3723456000},
        {"1:02:03", 3723000000}, {"0.000001", 1},
        {"0.0000015", 2},  // rounded to the microsecond
        {"0.0000014999", 1},     {"2.9999996", 3000000},
        {"00:00:00.04", 40000},
    };
    for (const auto& [text, expected] : cases) {
        int64_t us = -1;
        EXPECT_TRUE(ParseTimeText(text, us)) << text;
        EXPECT_EQ(us, expected) << text;
    }
}

TEST(TimeText, RefusesWhatIsNoTime) {
    for (const char* bad :
         {"", "abc", "-1", "+1", "1.", ".5", "1:60", "1:2:3:4", "1:5:60", "1:123", "1::2", ":30",
          "2.5s", "1,5", " 1", "1e3", "9223372036855", "99999999999999999999"}) {
        int64_t us = 42;
        EXPECT_FALSE(ParseTimeText(bad, us)) << bad;
        EXPECT_EQ(us, 42) << bad;
    }
}

}  // namespace
