#pragma once
// What the window suites share: one application object with the main-thread hooks, the windows'
// components by name, bitmaps of one colour, dialogs that answer in place of a user, program
// folders with their files, and waiting for the event loop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStringList>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/main/MainThreadHooks.h"
#include "app/widgets/Dialogs.h"
#include "app/widgets/ImageButton.h"
#include "app/widgets/ObjectName.h"
#include "platform/Bitmap.h"
#include "tests/common/TestSupport.h"

namespace guitest {

// The application object of the test program, made once, with the Fusion style and the
// main-thread hooks in place.
inline QApplication& Application() {
    static int argc = 1;
    static char name[] = "clipgif-test";
    static char* argv[] = {name, nullptr};
    static QApplication* application = [] {
        auto* made = new QApplication(argc, argv);
        QApplication::setStyle(QStringLiteral("Fusion"));
        static TMainThreadHooks* hooks = new TMainThreadHooks;
        (void)hooks;
        return made;
    }();
    return *application;
}

// Made first among a fixture's members, it makes the application object before the windows
// declared after it.
struct TApplicationFirst {
    TApplicationFirst() { Application(); }
};

// A window's component by its name; a missing one fails the test with an exception.
template <class T>
T& Child(const QObject& window, const char* name) {
    return NamedChild<T>(window, name);
}

// The main window's components most tests touch.
inline TImageButton& Button(const QObject& window, const char* name) {
    return Child<TImageButton>(window, name);
}
inline QLabel& Label(const QObject& window, const char* name) {
    return Child<QLabel>(window, name);
}
inline QString LogText(const QObject& window) {
    return Child<QPlainTextEdit>(window, "mmoLog").toPlainText();
}

// A 24-bit bitmap of one colour.
inline TBitmap OneColourBitmap(int width, int height, TColor colour) {
    TBitmap bitmap(width, height, pf24bit);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) bitmap.SetPixel(x, y, colour);
    return bitmap;
}

// Runs the event loop until `done` holds or `limitMs` passed; returns `done()`.
inline bool ProcessEventsUntil(const std::function<bool()>& done, int limitMs = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// Answers for the windows: a file for the open dialog, a function for each modal window, and
// every message shown collected.
class TScriptedDialogs : public TDialogs {
public:
    TScriptedDialogs() { SetDialogs(this); }
    ~TScriptedDialogs() override { SetDialogs(nullptr); }

    struct TMessage {
        QMessageBox::Icon Icon;
        QString Caption;
        QString Text;
    };

    QString FileToChoose;
    int FileDialogsShown = 0;
    QStringList FilterSeen;
    std::function<int(QDialog&)> OnModal = [](QDialog&) { return int(QDialog::Rejected); };
    int ModalsShown = 0;
    std::vector<TMessage> Messages;
    std::vector<QUrl> OpenedUrls;
    QString FolderToChoose;
    QStringList ShownInFolder;

    QString ChooseFile(QFileDialog& dialog) override {
        ++FileDialogsShown;
        FilterSeen = dialog.nameFilters();
        return FileToChoose;
    }
    int ShowModal(QDialog& dialog) override {
        ++ModalsShown;
        return OnModal(dialog);
    }
    void ShowMessage(QWidget*, QMessageBox::Icon icon, const QString& caption,
                     const QString& text) override {
        Messages.push_back({icon, caption, text});
    }
    void OpenUrl(const QUrl& url) override { OpenedUrls.push_back(url); }
    QString ChooseFolder(QWidget*, const QString&, const QString&) override {
        return FolderToChoose;
    }
    void ShowFileInFolder(const QString& fileName) override { ShownInFolder << fileName; }
};

// The stored form of a plain settings text: every byte of a line complemented, the line breaks
// (CR LF) kept.
inline std::string StoredSettings(const std::vector<std::string>& lines) {
    std::string stored;
    for (const std::string& line : lines) {
        for (const char c : line) stored += static_cast<char>(~static_cast<unsigned char>(c));
        stored += "\r\n";
    }
    return stored;
}

// The folder the test programs and the program files are built into.
inline std::string BinFolder() {
    const char* bin = std::getenv("CLIPGIF_BIN");
    return bin ? std::string(bin) + "/" : std::string();
}

// A program folder of its own: settings written by the test, the built icon and skin copied in
// on request.
class TProgramFolder {
public:
    void WriteSettings(const std::vector<std::string>& lines) {
        std::ofstream(dir_.File("lamecore.dll"), std::ios::binary) << StoredSettings(lines);
    }
    void CopyIcon() { std::filesystem::copy_file(BinFolder() + "icon.ico", dir_.File("icon.ico")); }
    void CopySkin(const std::string& resFolder) {
        std::filesystem::create_directories(dir_.File("sounds/" + resFolder));
        std::filesystem::copy_file(BinFolder() + "sounds/slate/main.bmp",
                                   dir_.File("sounds/" + resFolder + "/main.bmp"));
    }
    void WriteFile(const std::string& name, const std::string& bytes) {
        std::filesystem::create_directories(std::filesystem::path(dir_.File(name)).parent_path());
        std::ofstream(dir_.File(name), std::ios::binary) << bytes;
    }
    std::string Path() const { return dir_.Path() + "/"; }

private:
    testsupport::TempDir dir_;
};

}  // namespace guitest
