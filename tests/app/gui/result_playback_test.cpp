// The finished GIF played in the preview window: from its file as it is stored, so that a long
// animation takes the file's size in memory and a few pictures, never its decoded frames; and a
// file that cannot be played is said so in the log.
#include <QLabel>
#include <fstream>
#include <memory>
#include <string>

#include "app/main/FrameOutputFrm.h"
#include "app/main/PreviewForm.h"
#include "tests/app/gui/GuiTestSupport.h"

namespace {

using guitest::ProcessEventsUntil;

// Resident memory of the process, in bytes.
int64_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    int64_t pages = 0;
    int64_t resident = 0;
    statm >> pages >> resident;
    return resident * 4096;
}

TEST(ResultPlayback, LongAnimationPlaysWithTheFilesSizeInMemory) {
    guitest::Application();
    testsupport::TempDir dir;
    // 800 full frames of 320x240 in one colour each: 1.4 MB of file, 61 MB of pixels decoded.
    const std::string gif = testsupport::MakeMedia(
        "-f lavfi -i \"color=c=red:size=320x240:rate=50,hue=H=2*PI*t/4\" -t 16 -gifflags 0",
        dir.File("long.gif"));
    const int64_t fileBytes = static_cast<int64_t>(testsupport::ReadFileBytes(gif).size());
    constexpr int64_t kFrameBytes = 320 * 240 * 4;
    constexpr int64_t kDecodedBytes = int64_t{800} * 320 * 240;

    TPreviewForm preview;
    const int64_t before = ResidentBytes();
    preview.PlayAnimation(gif);
    // Reading and decoding are the player's thread's: nothing is shown before the event loop
    // takes the first picture.
    EXPECT_EQ(preview.Player().PicturesShown(), 0);
    ASSERT_TRUE(ProcessEventsUntil([&] { return preview.Player().PicturesShown() >= 100; }, 30000));
    EXPECT_TRUE(preview.isVisible());
    EXPECT_EQ(preview.PictureSize(), QSize(320, 240));

    EXPECT_LE(preview.Player().HeldBytes(), fileBytes + 4 * kFrameBytes);
    const int64_t grown = ResidentBytes() - before;
    if (!testsupport::kAddressSanitizer) {
        EXPECT_LT(grown, fileBytes + 24 * kFrameBytes + (8 << 20))
            << "decoded frames take " << kDecodedBytes;
    }

    // Hiding the window stops the playing and lets the file go.
    preview.hide();
    EXPECT_EQ(preview.PlayingFile(), "");
    EXPECT_EQ(preview.Player().HeldBytes(), 0u);
}

TEST(ResultPlayback, FileThatCannotBePlayedIsReported) {
    guitest::Application();
    testsupport::TempDir dir;
    std::ofstream(dir.File("broken.gif")) << "GIF89a and then nothing of use";
    TPreviewForm preview;
    QString reason;
    preview.OnPlayFailed = [&](const QString& error) { reason = error; };
    preview.PlayAnimation(dir.File("broken.gif"));
    ASSERT_TRUE(ProcessEventsUntil([&] { return !reason.isEmpty(); }));
    EXPECT_FALSE(preview.isVisible());
    reason.clear();
    preview.PlayAnimation(dir.File("missing.gif"));
    ASSERT_TRUE(ProcessEventsUntil([&] { return !reason.isEmpty(); }));
    EXPECT_TRUE(reason.contains("missing.gif")) << reason.toStdString();
}

}  // namespace
