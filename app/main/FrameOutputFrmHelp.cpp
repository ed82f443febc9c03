// The main window's title-strip buttons and its help menu.
#include <QAction>
#include <QMenu>

#include "app/main/About.h"
#include "app/main/FrameOutputFrm.h"
#include "app/main/Globals.h"
#include "app/main/UtilFuncs.h"
#include "app/widgets/Dialogs.h"
#include "app/widgets/ImageButton.h"

namespace {

const char* const kMenuStyle =
    "QMenu { background: #272e3c; color: white; border: 1px solid #3a4356; padding: 4px 0; }"
    "QMenu::item { padding: 5px 24px 5px 20px; }"
    "QMenu::item:selected { background: #ff8a3d; color: #1a1f29; }"
    "QMenu::separator { height: 1px; background: #3a4356; margin: 4px 8px; }";

}  // namespace

void TfrmFrameOutput::CreateHelpMenu() {
    PopupMenuHelp = new QMenu(this);
    PopupMenuHelp->setStyleSheet(QString::fromLatin1(kMenuStyle));
    const auto addLink = [this](const char* caption, std::string TGlobalSettings::*link) {
        QAction* action = PopupMenuHelp->addAction(QString::fromLatin1(caption));
        connect(action, &QAction::triggered, this, [link] { OpenLink(GlobalSettings().*link); });
        return action;
    };
    mnuHelpContent = addLink("Help Content", &TGlobalSettings::HelpContectLink);
    mnuHelpContent->setShortcut(QKeySequence(Qt::Key_F1));
    mnuHelpContent->setShortcutContext(Qt::WindowShortcut);
    // The shortcut works while the menu is closed too.
    addAction(mnuHelpContent);
    mnuHowTos =
        addLink("How Tos && Tutorial Videos...", &TGlobalSettings::HelpHowTosTutorialVideosLink);
    PopupMenuHelp->addSeparator();
    mnuHomePage = addLink("Home Page...", &TGlobalSettings::HelpHomePageLink);
    mnuMoreFreeTools = addLink("More Free Tools...", &TGlobalSettings::HelpMoreFreeToolsLink);
    PopupMenuHelp->addSeparator();
    mnuCheckForUpdates = addLink("Check for Updates...", &TGlobalSettings::HelpCheckForUpdatesLink);
    mnuSupport = addLink("Contact Technical Support...", &TGlobalSettings::HelpSupportLink);
    PopupMenuHelp->addSeparator();
    mnuAbout = PopupMenuHelp->addAction(QStringLiteral("About..."));
    connect(mnuAbout, &QAction::triggered, this,
            [this] { RunHandler(this, [this] { ShowAboutBox(*this); }); });
}

void TfrmFrameOutput::ButtonHelpClick() {
    const QRect window = frameGeometry();
    PopupMenuHelp->popup(QPoint(window.left() + ButtonHelp->x() + 2,
                                window.top() + ButtonHelp->y() + ButtonHelp->height()));
}

void TfrmFrameOutput::ButtonMinClick() { showMinimized(); }

void TfrmFrameOutput::ButtonCloseClick() { close(); }
