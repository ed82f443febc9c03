#pragma once
// The program's start: the settings file's title, the application icon, then the main window.
#include <QIcon>
#include <QString>
#include <QStringList>
#include <memory>
#include <string>

#include "app/main/ProgramFiles.h"

class TfrmFrameOutput;

// The application icon from an icon file; raises the file's error when it cannot be read and
// "Icon image is not valid" (with the file name) when it holds no icon.
QIcon LoadApplicationIcon(const std::string& fileName);

// Reads the title from the settings file, loads the icon and makes the main window (not shown
// yet). Raises the error of the file that failed; then no window is made.
std::unique_ptr<TfrmFrameOutput> StartUp(const TProgramFiles& files);

// The file named on the program's command line ("clipgif FILE", Qt's own options already
// taken out), made absolute; empty when none is named.
QString FileArgument(const QStringList& arguments);

// Opens `fileName` as Input does once the window's message loop runs; nothing when empty.
void OpenFileWhenShown(TfrmFrameOutput& window, const QString& fileName);

// The whole program: start-up, the file named on the command line opened, and the message loop
// until the main window closes. A start-up failure is written to stderr and shown in a message
// box, and gives the exit code 1. SIGINT, SIGTERM and SIGHUP close the window as its close
// button does (a conversion under way saves its frames so far) and give 128 + the signal.
int RunClipGIF(int argc, char** argv);
