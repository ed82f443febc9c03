#include "app/main/StartUp.h"

#include <QApplication>
#include <QFileInfo>
#include <QPixmap>
#include <QTimer>
#include <exception>
#include <iostream>
#include <vector>

#include "app/core/Settings.h"
#include "app/main/FrameOutputFrm.h"
#include "app/main/Globals.h"
#include "app/main/MainThreadHooks.h"
#include "app/main/QtPreviewWindow.h"
#include "app/widgets/DarkLook.h"
#include "app/main/StopSignalWatch.h"
#include "app/widgets/Dialogs.h"
#include "engine/loader/FFLoad.h"
#include "platform/Exception.h"
#include "platform/Stream.h"

QIcon LoadApplicationIcon(const std::string& fileName) {
    TFileStream file(fileName, TFileStream::Mode::OpenRead);
    QByteArray bytes(static_cast<qsizetype>(file.Size()), '\0');
    file.ReadBuffer(bytes.data(), static_cast<size_t>(bytes.size()));
    QPixmap picture;
    if (!picture.loadFromData(bytes, "ICO"))
        throw EInvalidGraphic("Icon image is not valid: \"" + fileName + "\"");
    return QIcon(picture);
}

std::unique_ptr<TfrmFrameOutput> StartUp(const TProgramFiles& files) {
    const std::vector<std::string> title = ReadSettings({"Name"}, files.SettingsFile);
    SetApplicationTitle(QString::fromStdString(title.front()));
    QApplication::setWindowIcon(LoadApplicationIcon(files.IconFile()));
    ApplyDarkLook();
    return std::make_unique<TfrmFrameOutput>(files);
}

QString FileArgument(const QStringList& arguments) {
    if (arguments.size() < 2 || arguments[1].isEmpty()) return {};
    return QFileInfo(arguments[1]).absoluteFilePath();
}

void OpenFileWhenShown(TfrmFrameOutput& window, const QString& fileName) {
    if (fileName.isEmpty()) return;
    QTimer::singleShot(0, &window, [&window, fileName] {
        RunHandler(&window, [&window, fileName] { window.OpenDroppedFiles({fileName}); });
    });
}

int RunClipGIF(int argc, char** argv) {
    QApplication application(argc, argv);
    ApplyDarkLook();
    const QString programName = QApplication::applicationName();
    EngineStartup();
    int exitCode = 1;
    {
        TMainThreadHooks hooks;
        InstallQtPreviewWindows();
        std::unique_ptr<TfrmFrameOutput> window;
        try {
            window = StartUp(TProgramFiles::Installed());
        } catch (const std::exception& error) {
            std::cerr << programName.toStdString() << ": " << error.what() << '\n';
            Dialogs().ShowMessage(nullptr, QMessageBox::Critical, programName,
                                  QString::fromUtf8(error.what()));
        }
        if (window) {
            TStopSignalWatch stopSignals([&window](int) { window->CloseOnSignal(); });
            window->show();
            OpenFileWhenShown(*window, FileArgument(QApplication::arguments()));
            exitCode = stopSignals.ExitStatus(application.exec());
        }
    }
    EngineShutdown();
    return exitCode;
}
