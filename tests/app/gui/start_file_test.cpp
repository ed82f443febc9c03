// "clipgif FILE": the file named on the command line, made absolute, is opened as Input opens
// a chosen file (libraries, the file, the options dialog) once the window's message loop runs.
#include <QDir>
#include <QPushButton>
#include <memory>

#include "app/main/FrameOutputFrm.h"
#include "app/main/StartUp.h"
#include "engine/loader/FFLoad.h"
#include "tests/app/gui/GuiTestSupport.h"

namespace {

using guitest::Button;
using guitest::ProcessEventsUntil;
using guitest::TProgramFolder;
using guitest::TScriptedDialogs;

TEST(FileArgument, TheFirstArgumentMadeAbsolute) {
    EXPECT_EQ(FileArgument({"clipgif"}), "");
    EXPECT_EQ(FileArgument({"clipgif", ""}), "");
    EXPECT_EQ(FileArgument({"clipgif", "/media/clips/holiday.mp4"}), "/media/clips/holiday.mp4");
    EXPECT_EQ(FileArgument({"clipgif", "clips/holiday one.mp4"}),
              QDir::currentPath() + "/clips/holiday one.mp4");
}

TEST(OpenFileWhenShown, TheFileIsOpenedAsInputOpensItOnceTheLoopRuns) {
    guitest::Application();
    FFLoader().UnloadLibs(FullLibrarySet);
    testsupport::TempDir dir;
    const std::string clip = testsupport::MakeMedia(
        "-f lavfi -i testsrc=size=64x48:rate=25 -t 1 -c:v libx264 -pix_fmt yuv420p",
        dir.File("one second.mp4"));
    TProgramFolder folder;
    folder.WriteSettings({"[SYSTEM]", "Name=Clip", "ResFolder=slate"});
    folder.CopyIcon();
    folder.CopySkin("slate");
    std::unique_ptr<TfrmFrameOutput> window = StartUp(TProgramFiles::In(folder.Path()));
    TScriptedDialogs dialogs;
    dialogs.OnModal = [](QDialog&) { return int(QDialog::Accepted); };

    OpenFileWhenShown(*window, QString());
    OpenFileWhenShown(*window, QString::fromStdString(clip));
    EXPECT_EQ(dialogs.ModalsShown, 0);  // not before the message loop runs

    ASSERT_TRUE(ProcessEventsUntil([&] { return dialogs.ModalsShown == 1; }));
    EXPECT_EQ(dialogs.FileDialogsShown, 0);
    EXPECT_EQ(window->InputFileName(), QString::fromStdString(clip));
    EXPECT_TRUE(Button(*window, "btnStart").isEnabled());
    window.reset();
    FFLoader().SetLibraryPath("");
}

}  // namespace
