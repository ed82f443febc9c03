// clipgif-program-files: makes the files that lie beside the programs from the sources in the
// repository.
//
//     clipgif-program-files SETTINGS OUTPUT_FOLDER
//
// SETTINGS is the plain settings text; the folder receives lamecore.dll (that text with every
// byte of each line complemented, lines ended by CR LF), icon.ico and
// sounds/<ResFolder>/main.bmp.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/core/Settings.h"
#include "app/resources/IconPainter.h"
#include "app/resources/SkinPainter.h"

namespace {

constexpr int kIconSize = 64;

QByteArray ReadFile(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + name.toStdString());
    return file.readAll();
}

void WriteFile(const QString& name, const QByteArray& bytes) {
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + name.toStdString());
}

void MakeFiles(const QString& settingsSource, const QString& outputFolder) {
    const QByteArray plain = ReadFile(settingsSource);
    const std::vector<std::string> lines = SplitSettingsLines(plain.toStdString());
    const QDir output(outputFolder);
    WriteFile(output.filePath(QStringLiteral("lamecore.dll")),
              QByteArray::fromStdString(EncodeSettings(lines)));

    QImageWriter icon(output.filePath(QStringLiteral("icon.ico")), "ico");
    if (!icon.write(PaintIcon(kIconSize)))
        throw std::runtime_error("cannot write icon.ico: " + icon.errorString().toStdString());

    const std::string resFolder = ReadSystemSection(lines, {"ResFolder"}).front();
    const QString skinFolder = QStringLiteral("sounds/") + QString::fromStdString(resFolder);
    if (!output.mkpath(skinFolder))
        throw std::runtime_error("cannot make " + skinFolder.toStdString());
    const QString skin = output.filePath(skinFolder + QStringLiteral("/main.bmp"));
    if (!PaintSkin().save(skin, "BMP")) throw std::runtime_error("cannot write main.bmp");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: clipgif-program-files SETTINGS OUTPUT_FOLDER\n");
        return 2;
    }
    // Fonts need a GUI application; no screen is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    try {
        MakeFiles(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "clipgif-program-files: %s\n", error.what());
        return 1;
    }
    return 0;
}
