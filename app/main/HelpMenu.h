#pragma once
// The main window's help menu: the help pages and the program's links from the settings, and
// the About box.
class QMenu;
class QWidget;

// Makes the menu as a child of `face` (a widget of the main window, which the About box is
// centred over). Help Content answers F1 in the window while the menu is closed too.
QMenu* MakeHelpMenu(QWidget& face);
