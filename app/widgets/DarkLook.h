#pragma once
// The look of the program's standard windows (the options dialog, the About box, message boxes,
// the file dialog, the actual-size window, the preview window): Qt's Fusion style with a dark
// palette taken from the main window's face, so that the program reads as one piece.
#include <QPalette>

// The palette: window about #232a36, fields #161a22, text #e6e9ef, disabled text at about 40 %,
// the accent colour for highlights.
QPalette DarkPalette();

// Gives the application the Fusion style and the dark palette (tool tips too).
void ApplyDarkLook();
