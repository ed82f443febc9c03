// clipgif-screenshots CLIP OUTPUT_FOLDER
//
// Starts the desktop program as clipgif does, chooses a file that is no clip and then CLIP with
// Input, converts a piece of it, and saves what the screen shows as PNG pictures: the main window
// idle and with the clip chosen, the options dialog with a frame shown and a piece of the clip
// set, the frame at actual size, the main window converting with the preview window and after
// the conversion with the GIF playing, the help menu and the About box. The answers a user would
// give come from a TDialogs of its own.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMenu>
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
#include "app/options/OptionFrm.h"
#include "app/widgets/Dialogs.h"
#include "app/widgets/ImageButton.h"
#include "app/widgets/ObjectName.h"
#include "app/widgets/TrackBar.h"
#include "engine/loader/FFLoad.h"

namespace {

constexpr int kScreenshots = 8;

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
    TScreenshots(const QString& clip, const QString& folder) : clip_(clip), folder_(folder) {}

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

    // The first choice is a file that is no clip, so the log has something to show.
    QString ChooseFile(QFileDialog&) override {
        if (chosen_++ > 0) return clip_;
        const QString notClip = QDir(folder_).filePath(QStringLiteral("notes.txt"));
        QFile file(notClip);
        if (file.open(QIODevice::WriteOnly)) file.write("these are no moving pictures\n");
        return notClip;
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

    void ShowMessage(QWidget*, QMessageBox::Icon, const QString& caption,
                     const QString& text) override {
        std::fprintf(stderr, "%s: %s\n", qPrintable(caption), qPrintable(text));
    }

private:
    // A piece from a tenth to nine tenths of the clip, at 320x240: long enough that the
    // conversion, which never waits for the windows, still runs when its progress line first
    // shows a rate.
    int RunOptions(TfrmOption& options) {
        TTrackBar& track = NamedChild<TTrackBar>(options, "TrackBar");
        track.setValue(track.maximum() / 10);
        NamedChild<QPushButton>(options, "btnStartTime").click();
        track.setValue(track.maximum() * 9 / 10);
        NamedChild<QPushButton>(options, "btnEndTime").click();
        NamedChild<QComboBox>(options, "cboFrameSize").setCurrentIndex(6);
        Save(options, "options.png");
        options.ImageClick();
        options.hide();
        return QDialog::Accepted;
    }

    QString clip_;
    QString folder_;
    int saved_ = 0;
    int chosen_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: clipgif-screenshots CLIP OUTPUT_FOLDER\n");
        return 2;
    }
    QApplication application(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    const QString clip = QString::fromLocal8Bit(argv[1]);
    const QString folder = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(folder);
    EngineStartup();
    int saved = 0;
    {
        TMainThreadHooks hooks;
        TScreenshots screenshots(clip, folder);
        SetDialogs(&screenshots);
        std::unique_ptr<TfrmFrameOutput> window = StartUp(TProgramFiles::Installed());
        window->show();
        window->activateWindow();
        screenshots.Save(*window, "main-idle.png");
        TImageButton& input = NamedChild<TImageButton>(*window, "btnOpen");
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
        NamedChild<TImageButton>(*window, "ButtonHelp").click();
        Settle();
        screenshots.Save(*window, "main-help-menu.png", 160);
        NamedChild<QMenu>(*window, "PopupMenuHelp").hide();
        NamedChild<QAction>(*window, "mnuAbout").trigger();
        saved = screenshots.Saved();
        SetDialogs(nullptr);
    }
    EngineShutdown();
    std::printf("%d screenshots in %s\n", saved, qPrintable(folder));
    return saved == kScreenshots ? 0 : 1;
}
