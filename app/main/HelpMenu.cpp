#include "app/main/HelpMenu.h"

#include <QAction>
#include <QMenu>
#include <string>

#include "app/main/About.h"
#include "app/main/Globals.h"
#include "app/main/UtilFuncs.h"
#include "app/widgets/Dialogs.h"
#include "app/widgets/ObjectName.h"

namespace {

const char* const kMenuStyle =
    "QMenu { background: #272e3c; color: white; border: 1px solid #3a4356; padding: 4px 0; }"
    "QMenu::item { padding: 5px 24px 5px 20px; }"
    "QMenu::item:selected { background: #ff8a3d; color: #1a1f29; }"
    "QMenu::separator { height: 1px; background: #3a4356; margin: 4px 8px; }";

QAction* AddLink(QMenu& menu, const char* name, const char* caption,
                 std::string TGlobalSettings::*link) {
    QAction* action = Named(name, menu.addAction(QString::fromLatin1(caption)));
    QObject::connect(action, &QAction::triggered, &menu,
                     [link] { OpenLink(GlobalSettings().*link); });
    return action;
}

}  // namespace

QMenu* MakeHelpMenu(QWidget& face) {
    auto* menu = Named("PopupMenuHelp", new QMenu(&face));
    menu->setStyleSheet(QString::fromLatin1(kMenuStyle));
    QAction* content =
        AddLink(*menu, "mnuHelpContent", "Help Content", &TGlobalSettings::HelpContectLink);
    content->setShortcut(QKeySequence(Qt::Key_F1));
    content->setShortcutContext(Qt::WindowShortcut);
    face.addAction(content);
    AddLink(*menu, "mnuHowTos", "How Tos && Tutorial Videos...",
            &TGlobalSettings::HelpHowTosTutorialVideosLink);
    menu->addSeparator();
    AddLink(*menu, "mnuHomePage", "Home Page...", &TGlobalSettings::HelpHomePageLink);
    AddLink(*menu, "mnuMoreFreeTools", "More Free Tools...",
            &TGlobalSettings::HelpMoreFreeToolsLink);
    menu->addSeparator();
    AddLink(*menu, "mnuCheckForUpdates", "Check for Updates...",
            &TGlobalSettings::HelpCheckForUpdatesLink);
    AddLink(*menu, "mnuSupport", "Contact Technical Support...", &TGlobalSettings::HelpSupportLink);
    menu->addSeparator();
    QAction* about = Named("mnuAbout", menu->addAction(QStringLiteral("About...")));
    QObject::connect(about, &QAction::triggered, menu, [owner = &face] {
        QWidget* window = owner->window();
        RunHandler(window, [window] { ShowAboutBox(*window); });
    });
    return menu;
}
