// clipgif-screenshots CLIP PORTRAIT_CLIP SOUND_FILE OUTPUT_FOLDER
//
// Starts the desktop program as clipgif does, shows the open dialog, chooses a file that is no
// clip, then SOUND_FILE (which has no video) and then CLIP with Input, converts a piece of it,
// then drops PORTRAIT_CLIP on the window and converts it, and saves what the screen shows as
// PNG pictures: the main window idle and with the clip chosen, the open dialog, the message
// about the file without video, the options dialog with a frame shown, a piece of the clip set
// and the choices below (a size limit among them, with its estimate), the frame at actual size,
// the main window converting (after the settings that fit the limit were chosen) with the
// preview window and after the conversion with its result line and the GIF playing, the
// portrait clip's preview beside the window, the help menu and the About box. The answers a
// user would give come from a TDialogs of its own.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <cstdio>
#include <functional>
#include <memory>

#include "app/main/About.h"
#include "app/main/FrameOutputFrm.h"
#include "app/main/MainThreadHooks.h"
#include "app/main/PreviewForm.h"
#include "app/main/StartUp.h"
#include "app/options/ActualSizeForm.h"
#include "app/options/FrameImage.h"
#include "app/options/GifSizeEstimate.h"
#include "app/options/OptionFrm.h"
#include "app/widgets/Dialogs.h"
#include "app/widgets/ImageButton.h"
#include "app/widgets/ObjectName.h"
#include "app/widgets/TrackBar.h"
#include "engine/loader/FFLoad.h"
#include "platform/Stream.h"

namespace {

constexpr int kScreenshots = 11;

// Lets the windows paint and the screen settle.
void Settle(int milliseconds = 400) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
}

// Runs the event loop until `done` holds or `limitMs` passed; returns `done()`.
bool SettleUntil(const std::function<bool()>& done, int limitMs = 60000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// The main window and the preview window together, with a margin.
QRect BothWindows(const TfrmFrameOutput& window, int margin = 12) {
    QRect area = window.frameGeometry();
    if (const TPreviewForm* preview = window.PreviewWindow(); preview && preview->isVisible())
        area = area.united(preview->frameGeometry());
    return area.adjusted(-margin, -margin, margin, margin);
}

// The number of the frame the preview window shows ("#N"), 0 before any.
int PreviewFrameNumber(const TfrmFrameOutput& window) {
    const TPreviewForm* preview = window.PreviewWindow();
    if (!preview || !preview->isVisible() || !preview->windowTitle().startsWith('#')) return 0;
    return preview->windowTitle().mid(1).toInt();
}

class TScreenshots : public TDialogs {
public:
    TScreenshots(const QString& clip, const QString& sound, const QString& folder)
        : clip_(clip), sound_(sound), folder_(folder) {}

    // The screen's picture of a window, with a margin round it.
    void Save(const QWidget& window, const char* name, int margin = 12) {
        Settle();
        SaveArea(window.frameGeometry().adjusted(-margin, -margin, margin, margin), name);
    }
    // The screen's picture of a part of the screen, as it is.
    void SaveArea(const QRect& area, const char* name) {
        const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(
            0, area.x(), area.y(), area.width(), area.height());
        const QString file = QDir(folder_).filePath(QString::fromLatin1(name));
        if (!shot.save(file, "PNG")) std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        saved_++;
    }
    int Saved() const { return saved_; }

    // The first choice is a file that is no clip, so the log has something to show, the
    // second a file without video; the open dialog itself is shown the first time.
    QString ChooseFile(QFileDialog& dialog) override {
        switch (chosen_++) {
            case 0: {
                dialog.show();
                Save(dialog, "open-dialog.png");
                dialog.hide();
                const QString notClip = QDir(folder_).filePath(QStringLiteral("notes.txt"));
                QFile file(notClip);
                if (file.open(QIODevice::WriteOnly)) file.write("these are no moving pictures\n");
                return notClip;
            }
            case 1:
                return sound_;
            default:
                return clip_;
        }
    }

    int ShowModal(QDialog& dialog) override {
        dialog.show();
        Settle();
        if (auto* options = dynamic_cast<TfrmOption*>(&dialog)) return RunOptions(*options);
        if (auto* actual = dynamic_cast<TActualSizeForm*>(&dialog))
            Save(*actual, "actual-size.png");
        if (dynamic_cast<TFormAbout*>(&dialog)) Save(dialog, "about.png");
        dialog.hide();
        return QDialog::Accepted;
    }

    // The first message is shown as the program shows it, the others only printed.
    void ShowMessage(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                     const QString& text) override {
        if (messages_++ > 0) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
            return;
        }
        QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
        box.show();
        Save(box, "message.png");
    }

private:
    // A piece from a tenth to nine tenths of the clip, at 320x240 with the aspect ratio kept:
    // long enough that the conversion, which never waits for the windows, still runs when its
    // progress line first shows a rate. The portrait clip (the second time) is taken at its
    // own size, so that its preview has to be scaled down to fit.
    int RunOptions(TfrmOption& options) {
        if (optionsShown_++ > 0) {
            NamedChild<QComboBox>(options, "cboFrameSize").setCurrentIndex(0);
            options.hide();
            return QDialog::Accepted;
        }
        TTrackBar& track = NamedChild<TTrackBar>(options, "TrackBar");
        track.setValue(track.maximum() / 10);
        NamedChild<QPushButton>(options, "btnStartTime").click();
        track.setValue(track.maximum() * 9 / 10);
        NamedChild<QPushButton>(options, "btnEndTime").click();
        NamedChild<QComboBox>(options, "cboFrameSize").setCurrentIndex(6);
        NamedChild<QLineEdit>(options, "edtSizeLimit").setText(QStringLiteral("2M"));
        const QLabel& estimate = NamedChild<QLabel>(options, "lblEstimate");
        SettleUntil([&] { return estimate.text() != TGifSizeEstimate::kEstimating; });
        Save(options, "options.png");
        options.ImageClick();
        options.hide();
        return QDialog::Accepted;
    }

    QString clip_;
    QString sound_;
    QString folder_;
    int saved_ = 0;
    int chosen_ = 0;
    int messages_ = 0;
    int optionsShown_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr,
                     "usage: clipgif-screenshots CLIP PORTRAIT_CLIP SOUND_FILE OUTPUT_FOLDER\n");
        return 2;
    }
    QApplication application(argc, argv);
    const QString clip = QString::fromLocal8Bit(argv[1]);
    const QString portrait = QString::fromLocal8Bit(argv[2]);
    const QString sound = QString::fromLocal8Bit(argv[3]);
    const QString folder = QString::fromLocal8Bit(argv[4]);
    QDir().mkpath(folder);
    EngineStartup();
    int saved = 0;
    {
        TMainThreadHooks hooks;
        TScreenshots screenshots(clip, sound, folder);
        SetDialogs(&screenshots);
        // The options dialog's choices made here are not kept for the program's user.
        const TProgramFiles files = TProgramFiles::Installed();
        TMemoryStream settings;
        settings.LoadFromFile(files.SettingsFile);
        std::unique_ptr<TfrmFrameOutput> window = StartUp(files);
        window->show();
        window->activateWindow();
        screenshots.Save(*window, "main-idle.png");
        TImageButton& input = NamedChild<TImageButton>(*window, "btnOpen");
        input.click();
        input.click();
        input.click();
        QFile::remove(QDir(folder).filePath(QStringLiteral("notes.txt")));
        screenshots.Save(*window, "main-file-chosen.png");

        // A conversion under way: the picture is taken as soon as the preview and the progress
        // line show it, while the frames keep coming.
        const QLabel& status = NamedChild<QLabel>(*window, "lblStatus");
        NamedChild<TImageButton>(*window, "btnStart").click();
        SettleUntil([&] {
            return PreviewFrameNumber(*window) >= 40 &&
                   status.text().startsWith(QStringLiteral("Frame number")) &&
                   !status.text().contains(QStringLiteral("FPS: 0;"));
        });
        screenshots.SaveArea(BothWindows(*window), "main-converting.png");
        SettleUntil([&] { return input.isEnabled(); });
        Settle(800);
        screenshots.SaveArea(BothWindows(*window), "main-complete.png");
        if (window->PreviewWindow()) window->PreviewWindow()->hide();

        // A portrait clip dropped on the window: its preview fits the screen, beside the window.
        window->OpenDroppedFiles({portrait});
        NamedChild<TImageButton>(*window, "btnStart").click();
        SettleUntil([&] { return PreviewFrameNumber(*window) >= 10; });
        screenshots.SaveArea(BothWindows(*window), "preview-portrait.png");
        NamedChild<TImageButton>(*window, "btnStop").click();
        SettleUntil([&] { return input.isEnabled(); });
        if (window->PreviewWindow()) window->PreviewWindow()->hide();
        NamedChild<TImageButton>(*window, "ButtonHelp").click();
        Settle();
        screenshots.Save(*window, "main-help-menu.png", 160);
        NamedChild<QMenu>(*window, "PopupMenuHelp").hide();
        NamedChild<QAction>(*window, "mnuAbout").trigger();
        saved = screenshots.Saved();
        SetDialogs(nullptr);
        window.reset();
        settings.SaveToFile(files.SettingsFile);
    }
    EngineShutdown();
    std::printf("%d screenshots in %s\n", saved, qPrintable(folder));
    return saved == kScreenshots ? 0 : 1;
}
