// clipgif-program-files: makes the files that lie beside the programs from the sources in the
// repository.
//
//     clipgif-program-files SETTINGS OUTPUT_FOLDER
//     clipgif-program-files --icons THEME_FOLDER SIZE...
//
// SETTINGS is the plain settings text; the folder receives lamecore.dll (that text with every
// byte of each line complemented, lines ended by CR LF), icon.ico and
// sounds/<ResFolder>/main.bmp. With --icons, the same icon is drawn for the desktop's menus at
// each SIZE, as THEME_FOLDER/<SIZE>x<SIZE>/apps/clipgif.png.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QStringList>
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

void MakeThemeIcons(const QString& themeFolder, const QStringList& sizes) {
    const QDir theme(themeFolder);
    for (const QString& text : sizes) {
        bool isNumber = false;
        const int size = text.toInt(&isNumber);
        if (!isNumber || size < 1)
            throw std::runtime_error("not an icon size: " + text.toStdString());
        const QString folder = text + QLatin1Char('x') + text + QStringLiteral("/apps");
        if (!theme.mkpath(folder)) throw std::runtime_error("cannot make " + folder.toStdString());
        const QString name = theme.filePath(folder + QStringLiteral("/clipgif.png"));
        if (!PaintIcon(size).save(name, "PNG"))
            throw std::runtime_error("cannot write " + name.toStdString());
    }
}

}  // namespace

int main(int argc, char** argv) {
    const bool icons = argc >= 3 && std::string(argv[1]) == "--icons";
    if (argc != 3 && !icons) {
        std::fprintf(stderr,
                     "usage: clipgif-program-files SETTINGS OUTPUT_FOLDER\n"
                     "       clipgif-program-files --icons THEME_FOLDER SIZE...\n");
        return 2;
    }
    // Fonts need a GUI application; no screen is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    try {
        if (icons)
            MakeThemeIcons(QString::fromLocal8Bit(argv[2]), QCoreApplication::arguments().mid(3));
        else
            MakeFiles(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "clipgif-program-files: %s\n", error.what());
        return 1;
    }
    return 0;
}
