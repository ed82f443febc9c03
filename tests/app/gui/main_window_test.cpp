// The main window driven offscreen: its face and components, Input with its library loading,
// file loading and options dialog, a file dropped on the window, the log, moving the window by
// its face, and the hooks that hand calls to the GUI thread.
#include <QCheckBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "app/main/FrameOutputFrm.h"
#include "app/main/PreviewForm.h"
#include "app/main/StartUp.h"
#include "app/options/OptionFrm.h"
#include "app/widgets/ImageButton.h"
#include "app/widgets/TrackBar.h"
#include "engine/loader/FFLoad.h"
#include "engine/log/FFLog.h"
#include "platform/MainThread.h"
#include "platform/Thread.h"
#include "tests/app/gui/GuiTestSupport.h"

namespace {

using guitest::Button;
using guitest::Child;
using guitest::Label;
using guitest::LogText;
using guitest::ProcessEventsUntil;
using guitest::TProgramFolder;
using guitest::TScriptedDialogs;

const std::string& Clip() {
    static testsupport::TempDir dir;
    static const std::string clip = testsupport::MakeMedia(
        "-f lavfi -i testsrc=size=64x48:rate=25 -t 2 -c:v libx264 -pix_fmt yuv420p",
        dir.File("two seconds.mp4"));
    return clip;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        guitest::Application();
        FFLoader().UnloadLibs(FullLibrarySet);
        folder_.WriteSettings({"[SYSTEM]", "Name=Clip", "ResFolder=slate"});
        folder_.CopyIcon();
        folder_.CopySkin("slate");
        window_ = StartUp(TProgramFiles::In(folder_.Path()));
    }
    void TearDown() override {
        window_.reset();
        FFLoader().SetLibraryPath("");
    }

    QStringList LogLines() const { return LogText(*window_).split(QLatin1Char('\n')); }
    // The window's own message: an empty line, the message, an empty line.
    bool LogHasMessage(const QString& message) const {
        const QStringList lines = LogLines();
        const qsizetype at = lines.indexOf(message);
        return at > 0 && at + 1 < lines.size() && lines[at - 1].isEmpty() &&
               lines[at + 1].isEmpty();
    }

    TProgramFolder folder_;
    std::unique_ptr<TfrmFrameOutput> window_;
};

TEST_F(MainWindowTest, FaceAndComponentsInTheirPlaces) {
    EXPECT_TRUE(window_->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(window_->size(), QSize(760, 366));
    EXPECT_EQ(window_->windowTitle(), "Clip");
    EXPECT_FALSE(window_->mask().isEmpty());

    EXPECT_EQ(Label(*window_, "Label1").text(), "Input File:");
    EXPECT_EQ(Label(*window_, "Label1").pos(), QPoint(40, 110));
    EXPECT_EQ(Label(*window_, "txtInput").text(), "...");
    EXPECT_EQ(Label(*window_, "txtInput").pos(), QPoint(104, 110));
    EXPECT_EQ(Label(*window_, "lblStatus").text(), "Status");
    EXPECT_EQ(Label(*window_, "lblStatus").pos(), QPoint(24, 333));
    EXPECT_EQ(Child<QPlainTextEdit>(*window_, "mmoLog").geometry(), QRect(24, 144, 713, 169));
    EXPECT_TRUE(Child<QPlainTextEdit>(*window_, "mmoLog").isReadOnly());
    EXPECT_TRUE(Child<QCheckBox>(*window_, "chkPreview").isChecked());
    EXPECT_EQ(Child<QCheckBox>(*window_, "chkPreview").text(), "Preview while encoding");
    EXPECT_EQ(Child<QCheckBox>(*window_, "chkPreview").pos(), QPoint(544, 62));

    const struct {
        TImageButton* button;
        const char* caption;
        int left;
        bool enabled;
    } buttons[] = {{&Button(*window_, "btnOpen"), "Input", 24, true},
                   {&Button(*window_, "btnStart"), "Start", 120, false},
                   {&Button(*window_, "btnStop"), "Stop", 216, false},
                   {&Button(*window_, "btnPause"), "Pause", 312, false},
                   {&Button(*window_, "btnResume"), "Resume", 408, false}};
    for (const auto& row : buttons) {
        EXPECT_EQ(row.button->text(), row.caption);
        EXPECT_EQ(row.button->geometry(), QRect(row.left, 56, 90, 28)) << row.caption;
        EXPECT_EQ(row.button->isEnabled(), row.enabled) << row.caption;
    }
    EXPECT_EQ(Button(*window_, "ButtonMin").geometry(), QRect(685, 6, 19, 19));
    EXPECT_EQ(Button(*window_, "ButtonHelp").geometry(), QRect(709, 6, 19, 19));
    EXPECT_EQ(Button(*window_, "ButtonClose").geometry(), QRect(733, 6, 19, 19));
    EXPECT_EQ(Button(*window_, "ButtonClose").Glyph(), TButtonGlyph::Close);
    EXPECT_EQ(window_->focusWidget(), &Button(*window_, "btnOpen"));

    // The preview window: on top, a tool window, captioned empty, hidden until frames come.
    TPreviewForm* preview = window_->PreviewWindow();
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(preview->windowFlags() & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_EQ(preview->windowTitle(), "");
    EXPECT_EQ(Child<QLabel>(*preview, "Image").parent(), preview);
    EXPECT_FALSE(preview->isVisible());
}

TEST_F(MainWindowTest, OpenDialogOffersFiveFilters) {
    QFileDialog& dialog = Child<QFileDialog>(*window_, "OpenDialog");
    const QStringList filters = dialog.nameFilters();
    ASSERT_EQ(filters.size(), 5);
    EXPECT_TRUE(filters[0].startsWith("Video/Audio/Picture Files (*.3GP *.ASF *.AVI"));
    EXPECT_TRUE(filters[0].endsWith("*.JPEG *.JPG *.PNG)"));
    EXPECT_TRUE(filters[1].startsWith("Video Files (*.3GP"));
    EXPECT_TRUE(filters[2].startsWith("Audio Files (*.AAC"));
    EXPECT_EQ(filters[3], "Picture Files (*.BMP *.GIF *.JPEG *.JPG *.PNG)");
    EXPECT_EQ(filters[4], "All Files (*.*)");
    EXPECT_EQ(dialog.selectedNameFilter(), "Video/Audio/Picture Files");
    EXPECT_EQ(dialog.fileMode(), QFileDialog::ExistingFile);

    // Patterns match names in any case.
    testsupport::TempDir files;
    for (const char* name : {"lower.mp4", "UPPER.MP4", "notes.txt"})
        std::ofstream(files.File(name)) << "x";
    dialog.setDirectory(QString::fromStdString(files.Path()));
    auto* model = dialog.findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    const QModelIndex folder = model->index(QString::fromStdString(files.Path()));
    ASSERT_TRUE(ProcessEventsUntil([&] { return model->rowCount(folder) == 2; }))
        << model->rowCount(folder);
    QStringList shown;
    for (int row = 0; row < model->rowCount(folder); ++row)
        shown << model->index(row, 0, folder).data().toString();
    shown.sort();
    EXPECT_EQ(shown, QStringList({"UPPER.MP4", "lower.mp4"}));
}

TEST_F(MainWindowTest, ImageButtonStatesLookDifferent) {
    window_->show();
    const auto centreColour = [](TImageButton& button) {
        return button.grab().toImage().pixel(button.width() / 2, 3);
    };
    TImageButton& button = Button(*window_, "btnPause");
    button.setEnabled(false);
    EXPECT_EQ(button.State(), TButtonState::Disabled);
    const QRgb disabled = centreColour(button);
    button.setEnabled(true);
    EXPECT_EQ(button.State(), TButtonState::Normal);
    const QRgb normal = centreColour(button);
    button.setAttribute(Qt::WA_UnderMouse, true);
    EXPECT_EQ(button.State(), TButtonState::Hover);
    const QRgb hover = centreColour(button);
    button.setDown(true);
    EXPECT_EQ(button.State(), TButtonState::Pressed);
    const QRgb pressed = centreColour(button);
    EXPECT_NE(disabled, normal);
    EXPECT_NE(normal, hover);
    EXPECT_NE(hover, pressed);
    EXPECT_NE(pressed, disabled);
    // Start carries the accent while it is enabled.
    Button(*window_, "btnStart").setEnabled(true);
    EXPECT_NE(centreColour(Button(*window_, "btnStart")), normal);
}

TEST_F(MainWindowTest, InputWithAnUnloadableLibraryLogsTheLoaderText) {
    TScriptedDialogs dialogs;
    const std::string broken = folder_.Path() + "lib/" + FFLoader().GetLibFileName(libSWScale);
    folder_.WriteFile("lib/" + FFLoader().GetLibFileName(libSWScale), "not a library");

    QTest::mouseClick(&Button(*window_, "btnOpen"), Qt::LeftButton);
    QStringList lines = LogLines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(QString::fromStdString("Load library " + broken + " error: ")))
        << lines[0].toStdString();
    EXPECT_EQ(dialogs.FileDialogsShown, 0);
    EXPECT_FALSE(Button(*window_, "btnStart").isEnabled());

    // Input again tries again.
    QTest::mouseClick(&Button(*window_, "btnOpen"), Qt::LeftButton);
    lines = LogLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[1], lines[0]);
    EXPECT_EQ(dialogs.FileDialogsShown, 0);

    // Without the broken file the libraries come from the system's search, even with no lib
    // folder at all; cancelling the open dialog changes nothing.
    std::filesystem::remove_all(folder_.Path() + "lib");
    QTest::mouseClick(&Button(*window_, "btnOpen"), Qt::LeftButton);
    EXPECT_EQ(dialogs.FileDialogsShown, 1);
    EXPECT_EQ(dialogs.FilterSeen.size(), 5);
    EXPECT_TRUE(FFLoader().LibsLoaded(FullLibrarySet));
    EXPECT_FALSE(Button(*window_, "btnStart").isEnabled());
    EXPECT_EQ(Label(*window_, "txtInput").text(), "...");
}

TEST_F(MainWindowTest, InputOnABadFileLogsTheLoadErrorAndChangesNothing) {
    TScriptedDialogs dialogs;
    folder_.WriteFile("broken.mp4", "this is no media file");
    dialogs.FileToChoose = QString::fromStdString(folder_.Path() + "broken.mp4");
    window_->show();

    QTest::mouseClick(&Button(*window_, "btnOpen"), Qt::LeftButton);

    const std::string error = window_->Encoder().Decoder().LastErrorMessage();
    ASSERT_FALSE(error.empty());
    EXPECT_TRUE(LogHasMessage(QString::fromStdString("***File load error: " + error)))
        << LogText(*window_).toStdString();
    EXPECT_FALSE(Button(*window_, "btnStart").isEnabled());
    EXPECT_EQ(Label(*window_, "txtInput").text(), "...");
    EXPECT_EQ(window_->InputFileName(), "");
    EXPECT_EQ(dialogs.ModalsShown, 0);
}

TEST_F(MainWindowTest, InputOnAClipRunsTheOptionsDialogOnIt) {
    TScriptedDialogs dialogs;
    dialogs.FileToChoose = QString::fromStdString(Clip());
    TfrmOption* seen = nullptr;
    dialogs.OnModal = [&](QDialog& dialog) {
        seen = dynamic_cast<TfrmOption*>(&dialog);
        EXPECT_NE(seen, nullptr);
        EXPECT_TRUE(window_->Encoder().Decoder().Loaded());
        if (seen) {
            EXPECT_EQ(Child<TTrackBar>(*seen, "TrackBar").maximum(), 50);
        }
        return int(QDialog::Accepted);
    };

    QTest::mouseClick(&Button(*window_, "btnOpen"), Qt::LeftButton);
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(seen, window_->OptionDialog());
    EXPECT_EQ(seen->parent(), window_.get());
    // The file is closed again once the dialog is done.
    EXPECT_FALSE(window_->Encoder().Decoder().Loaded());
    EXPECT_TRUE(Button(*window_, "btnStart").isEnabled());

    // The dialog is made once and reused.
    QTest::mouseClick(&Button(*window_, "btnOpen"), Qt::LeftButton);
    EXPECT_EQ(dialogs.ModalsShown, 2);
    EXPECT_EQ(window_->OptionDialog(), seen);
}

TEST_F(MainWindowTest, DroppedFileIsOpenedLikeInput) {
    TScriptedDialogs dialogs;
    dialogs.OnModal = [](QDialog&) { return int(QDialog::Accepted); };
    QMimeData data;
    data.setUrls({QUrl(QStringLiteral("https://example.org/a.mp4")),
                  QUrl::fromLocalFile(QString::fromStdString(Clip()))});

    QWidget& face = Child<QWidget>(*window_, "Face");
    QDragEnterEvent enter(QPoint(300, 200), Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(&face, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(300, 200), Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(&face, &drop);
    EXPECT_TRUE(drop.isAccepted());

    ASSERT_TRUE(ProcessEventsUntil([&] { return dialogs.ModalsShown == 1; }));
    EXPECT_EQ(dialogs.FileDialogsShown, 0);
    EXPECT_EQ(window_->InputFileName(), QString::fromStdString(Clip()));
    EXPECT_TRUE(Button(*window_, "btnStart").isEnabled());

    // While Input is off (a conversion runs) nothing may be dropped.
    Button(*window_, "btnOpen").setEnabled(false);
    QDragEnterEvent refused(QPoint(300, 200), Qt::CopyAction, &data, Qt::LeftButton, {});
    refused.ignore();
    QCoreApplication::sendEvent(&face, &refused);
    EXPECT_FALSE(refused.isAccepted());
}

TEST_F(MainWindowTest, LongFileNamesAreShortenedInTheMiddle) {
    TScriptedDialogs dialogs;
    const std::string folder = folder_.Path() + std::string(120, 'x');
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(Clip(), folder + "/holiday.mp4");
    const QString name = QString::fromStdString(folder + "/holiday.mp4");
    window_->OpenDroppedFiles({name});
    const QString shown = Label(*window_, "txtInput").text();
    EXPECT_TRUE(shown.startsWith(QString::fromStdString(folder_.Path().substr(0, 5))));
    EXPECT_TRUE(shown.endsWith("holiday.mp4"));
    EXPECT_TRUE(shown.contains(QChar(0x2026)));
    EXPECT_LE(Label(*window_, "txtInput").fontMetrics().horizontalAdvance(shown),
              Label(*window_, "txtInput").width());
    EXPECT_EQ(Label(*window_, "txtInput").toolTip(), name);
}

TEST_F(MainWindowTest, EngineLogLinesNameThreadAndLevel) {
    window_->FFLoggerLog(1234, llInfo, "Stream #0");
    EXPECT_EQ(LogLines().last(), "#1234.5: Stream #0");

    // A line logged on another thread is handed to the GUI thread, which writes it.
    uint32_t workerId = 0;
    std::thread worker([&] {
        workerId = CurrentThreadId();
        FFLogger().Log(nullptr, llError, "from a worker");
    });
    ASSERT_TRUE(ProcessEventsUntil([&] { return LogLines().last().endsWith("from a worker"); }));
    worker.join();
    EXPECT_EQ(LogLines().last(), QStringLiteral("#%1.3: from a worker").arg(workerId));
}

TEST_F(MainWindowTest, DraggingTheFaceMovesTheWindow) {
    window_->move(100, 100);
    window_->show();
    QWidget& face = Child<QWidget>(*window_, "Face");
    EXPECT_EQ(face.geometry(), window_->rect());
    QTest::mousePress(&face, Qt::LeftButton, {}, QPoint(300, 20));
    QMouseEvent move(QEvent::MouseMove, QPointF(350, 60), QPointF(450, 160), Qt::NoButton,
                     Qt::LeftButton, {});
    QCoreApplication::sendEvent(&face, &move);
    QTest::mouseRelease(&face, Qt::LeftButton, {}, QPoint(350, 60));
    EXPECT_EQ(window_->pos(), QPoint(150, 140));
}

TEST_F(MainWindowTest, UncheckingPreviewHidesThePreviewWindow) {
    window_->show();
    window_->PreviewWindow()->show();
    QTest::mouseClick(&Child<QCheckBox>(*window_, "chkPreview"), Qt::LeftButton);
    EXPECT_FALSE(Child<QCheckBox>(*window_, "chkPreview").isChecked());
    EXPECT_FALSE(window_->PreviewWindow()->isVisible());
    QTest::mouseClick(&Child<QCheckBox>(*window_, "chkPreview"), Qt::LeftButton);
    EXPECT_TRUE(Child<QCheckBox>(*window_, "chkPreview").isChecked());
    EXPECT_FALSE(window_->PreviewWindow()->isVisible());
}

TEST_F(MainWindowTest, MinimiseButtonMinimisesTheWindow) {
    window_->show();
    QTest::mouseClick(&Button(*window_, "ButtonMin"), Qt::LeftButton);
    EXPECT_TRUE(window_->windowState() & Qt::WindowMinimized);
}

TEST(MainThreadHooksTest, WaitingCodeProcessesTheGuiEvents) {
    guitest::Application();
    bool ran = false;
    QMetaObject::invokeMethod(
        qApp, [&] { ran = true; }, Qt::QueuedConnection);
    ProcessPendingMessages();
    EXPECT_TRUE(ran);
}

TEST(MainThreadHooksTest, CallsFromOtherThreadsRunOnTheGuiThread) {
    guitest::Application();
    std::thread::id ranOn;
    bool done = false;
    std::thread worker([&] {
        Synchronize([&] { ranOn = std::this_thread::get_id(); });
        done = true;
    });
    ASSERT_TRUE(ProcessEventsUntil([&] { return ranOn != std::thread::id(); }));
    worker.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

}  // namespace
