// Closing the desktop program while it converts, by its close button or by a stop signal
// (SIGTERM, SIGHUP, Ctrl-C): the conversion stops, the frames so far are saved as a valid GIF
// under the usual name, the user is told so before the window goes (on stderr for a signal,
// since nobody may be there to answer a message box), and a signal gives 128 + its number.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QTimer>
#include <memory>

#include "app/main/FrameOutputFrm.h"
#include "app/main/StartUp.h"
#include "app/main/StopSignalWatch.h"
#include "gif/model/GIFImage.h"
#include "tests/app/gui/GuiTestSupport.h"

namespace {

using guitest::Button;
using guitest::LogText;
using guitest::ProcessEventsUntil;

int FramesIn(const std::string& gif) {
    TGIFImage image;
    image.LoadFromFile(gif);
    return image.Images().Count();
}

// What the program writes to stderr while it lives.
class TStderrCapture {
public:
    explicit TStderrCapture(const std::string& file) : file_(file) {
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ::dup2(fd, STDERR_FILENO);
        ::close(fd);
    }
    ~TStderrCapture() { Restore(); }
    std::string Text() {
        Restore();
        const std::vector<uint8_t> bytes = testsupport::ReadFileBytes(file_);
        return std::string(bytes.begin(), bytes.end());
    }

private:
    void Restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        saved_ = -1;
    }
    std::string file_;
    int saved_ = -1;
};

class ClosingTest : public ::testing::Test {
protected:
    void SetUp() override {
        guitest::Application();
        folder_.WriteSettings({"[SYSTEM]", "Name=Clip", "ResFolder=slate"});
        folder_.CopyIcon();
        folder_.CopySkin("slate");
        MakeWindow();
        dialogs_.OnModal = [](QDialog&) { return int(QDialog::Accepted); };
        // Twenty seconds at 25 frames a second: long enough to be stopped on its way.
        clip_ = testsupport::MakeMedia(
            "-f lavfi -i testsrc=size=64x48:rate=25 -t 20 -c:v libx264 -pix_fmt yuv420p",
            dir_.File("long.mp4"));
    }
    void TearDown() override { window_.reset(); }
    void MakeWindow() {
        window_ = StartUp(TProgramFiles::In(folder_.Path()));
        window_->show();
    }

    // Input, Start and the event loop until a few frames have gone through.
    void StartConverting() {
        dialogs_.FileToChoose = QString::fromStdString(clip_);
        Button(*window_, "btnOpen").click();
        Button(*window_, "btnStart").click();
        ASSERT_TRUE(ProcessEventsUntil([&] {
            return LogText(*window_).contains(QStringLiteral("FrameOutput write frame #3,"));
        }));
    }
    // The program's message loop, until the window has closed; its status.
    static int RunLoop() {
        QTimer::singleShot(60000, qApp, [] { QCoreApplication::exit(1); });
        return QApplication::exec();
    }
    std::string Gif() const { return dir_.File("long_(new).gif"); }

    testsupport::TempDir dir_;
    std::string clip_;
    guitest::TScriptedDialogs dialogs_;
    guitest::TProgramFolder folder_;
    std::unique_ptr<TfrmFrameOutput> window_;
};

TEST_F(ClosingTest, TheCloseButtonTellsWhereTheFramesSoFarWereSaved) {
    StartConverting();
    QTimer::singleShot(0, window_.get(), [this] { Button(*window_, "ButtonClose").click(); });
    EXPECT_EQ(RunLoop(), 0);

    EXPECT_FALSE(window_->isVisible());
    const int frames = FramesIn(Gif());
    EXPECT_GE(frames, 3);
    EXPECT_LT(frames, 500);
    ASSERT_EQ(dialogs_.Messages.size(), 1u);
    EXPECT_EQ(dialogs_.Messages[0].Icon, QMessageBox::Information);
    EXPECT_EQ(dialogs_.Messages[0].Text,
              QStringLiteral("Saved the %1 frames converted so far as %2")
                  .arg(frames)
                  .arg(QString::fromStdString(Gif())));
}

TEST_F(ClosingTest, AStopSignalClosesTheWindowAndSavesTheFramesSoFar) {
    for (const int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        if (!window_) MakeWindow();
        StartConverting();
        TStderrCapture stderrCapture(dir_.File("stderr.txt"));
        int status = -1;
        {
            TStopSignalWatch watch([this](int) { window_->CloseOnSignal(); });
            ::kill(::getpid(), signal);
            status = watch.ExitStatus(RunLoop());
        }
        const std::string said = stderrCapture.Text();

        EXPECT_EQ(status, 128 + signal);
        EXPECT_FALSE(window_->isVisible());
        const int frames = FramesIn(Gif());
        EXPECT_GE(frames, 3);
        EXPECT_LT(frames, 500);
        EXPECT_TRUE(dialogs_.Messages.empty()) << "no message box waits for a user";
        EXPECT_NE(said.find("Saved the " + std::to_string(frames) + " frames converted so far as " +
                            Gif()),
                  std::string::npos)
            << said;
        // nothing else beside the clip: no pending file
        std::remove(Gif().c_str());
        window_.reset();
    }
}

TEST_F(ClosingTest, ClosingWithoutAConversionSaysNothing) {
    QTimer::singleShot(0, window_.get(), [this] { Button(*window_, "ButtonClose").click(); });
    EXPECT_EQ(RunLoop(), 0);
    EXPECT_TRUE(dialogs_.Messages.empty());
}

}  // namespace
