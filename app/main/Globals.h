#pragma once
// The settings values the front end shares once the main window has read them, and the
// application title, which the application object keeps.
#include <QString>
#include <string>

struct TGlobalSettings {
    std::string Version;
    std::string Copyright;
    std::string ResFolder;
    std::string HelpContectLink;
    std::string HelpHowTosTutorialVideosLink;
    std::string HelpHomePageLink;
    std::string HelpMoreFreeToolsLink;
    std::string HelpCheckForUpdatesLink;
    std::string HelpSupportLink;
};

// Written only by the main window's settings reading; read by the help menu and the About box.
TGlobalSettings& GlobalSettings();

// The application title (the settings' Name): captions of the main window, the About box and
// message boxes.
QString ApplicationTitle();
void SetApplicationTitle(const QString& title);
