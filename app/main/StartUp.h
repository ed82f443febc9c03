#pragma once
// The program's start: the settings file's title, the application icon, then the main window.
#include <QIcon>
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

// The whole program: start-up and the message loop until the main window closes. A start-up
// failure is shown in a message box and gives the exit code 1.
int RunClipGIF(int argc, char** argv);
