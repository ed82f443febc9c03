// Start-up: the settings file gives the title and the window's settings, the icon and the skin
// picture come from the program's folder, and a missing file stops start-up naming it. Also
// the program files the build makes, the help menu, links and the About box.
#include <QAction>
#include <QDate>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "app/core/Settings.h"
#include "app/main/About.h"
#include "app/main/FrameOutputFrm.h"
#include "app/main/Globals.h"
#include "app/main/Skin.h"
#include "app/main/StartUp.h"
#include "app/main/UtilFuncs.h"
#include "app/options/OptionFrm.h"
#include "app/widgets/ImageButton.h"
#include "app/widgets/WindowPlacement.h"
#include "platform/Exception.h"
#include "tests/app/gui/GuiTestSupport.h"
#include "tests/common/TestSupport.h"

namespace {

using guitest::Button;
using guitest::Child;
using guitest::Label;
using guitest::LogText;
using guitest::TProgramFolder;
using guitest::TScriptedDialogs;
using testsupport::ErrorOf;

class StartUpTest : public ::testing::Test {
protected:
    void SetUp() override { guitest::Application(); }
};

std::string Complemented(const std::string& plain) {
    std::string stored = plain;
    for (char& c : stored) c = static_cast<char>(~static_cast<unsigned char>(c));
    return stored;
}

TEST_F(StartUpTest, ExampleSettingsGiveTheTitleAndEmptyValues) {
    TProgramFolder folder;
    folder.WriteFile("lamecore.dll", Complemented("[SYSTEM]") + "\r\n" + Complemented("Name=Clip"));
    folder.CopyIcon();
    GlobalSettings().Version = "stale";

    std::unique_ptr<TfrmFrameOutput> window = StartUp(TProgramFiles::In(folder.Path()));

    EXPECT_EQ(ApplicationTitle(), "Clip");
    EXPECT_EQ(window->windowTitle(), "Clip");
    const TGlobalSettings& settings = GlobalSettings();
    for (const std::string* value :
         {&settings.Version, &settings.Copyright, &settings.ResFolder, &settings.HelpContectLink,
          &settings.HelpHowTosTutorialVideosLink, &settings.HelpHomePageLink,
          &settings.HelpMoreFreeToolsLink, &settings.HelpCheckForUpdatesLink,
          &settings.HelpSupportLink})
        EXPECT_EQ(*value, "");
    EXPECT_FALSE(QApplication::windowIcon().isNull());
    // Without its skin picture (sounds/main.bmp here) the window keeps a plain face and says why.
    EXPECT_TRUE(window->SkinPicture().isNull());
    EXPECT_TRUE(window->mask().isEmpty());
}

TEST_F(StartUpTest, MissingSkinIsReportedInTheLogAndTheWindowStaysUsable) {
    TProgramFolder folder;
    folder.WriteSettings({"[SYSTEM]", "Name=Clip", "ResFolder=blue"});
    folder.CopyIcon();
    std::unique_ptr<TfrmFrameOutput> window = StartUp(TProgramFiles::In(folder.Path()));
    const QStringList lines = LogText(*window).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[1],
              QString::fromStdString("***Skin load error: Cannot open file \"" + folder.Path() +
                                     "sounds/blue/main.bmp\". " + "No such file or directory"));
    EXPECT_TRUE(Button(*window, "btnOpen").isEnabled());
}

TEST_F(StartUpTest, SkinFolderWithOrWithoutTrailingDelimiterGivesTheSamePicture) {
    for (const std::string resFolder : {"blue", "blue/"}) {
        TProgramFolder folder;
        folder.WriteSettings({"[SYSTEM]", "Name=Clip", "ResFolder=" + resFolder});
        folder.CopyIcon();
        folder.CopySkin("blue");
        EXPECT_EQ(TProgramFiles::In(folder.Path()).SkinFile(resFolder),
                  folder.Path() + "sounds/blue/main.bmp");
        std::unique_ptr<TfrmFrameOutput> window = StartUp(TProgramFiles::In(folder.Path()));
        EXPECT_EQ(window->SkinPicture().size(), QSize(760, 366)) << resFolder;
        EXPECT_EQ(LogText(*window), "");
    }
}

TEST_F(StartUpTest, MissingSettingsFileStopsStartUpNamingIt) {
    TProgramFolder folder;
    folder.CopyIcon();
    SetApplicationTitle(QStringLiteral("before"));
    const size_t windowsBefore = QApplication::topLevelWidgets().size();

    const std::string message =
        ErrorOf<EStreamError>([&] { StartUp(TProgramFiles::In(folder.Path())); });

    EXPECT_EQ(message,
              "Cannot open file \"" + folder.Path() + "lamecore.dll\". No such file or directory");
    EXPECT_EQ(ApplicationTitle(), "before");
    EXPECT_EQ(QApplication::topLevelWidgets().size(), windowsBefore);
}

TEST_F(StartUpTest, MissingOrBrokenIconStopsStartUpNamingIt) {
    TProgramFolder folder;
    folder.WriteSettings({"[SYSTEM]", "Name=Clip"});
    EXPECT_EQ(ErrorOf<EStreamError>([&] { StartUp(TProgramFiles::In(folder.Path())); }),
              "Cannot open file \"" + folder.Path() + "icon.ico\". No such file or directory");

    folder.WriteFile("icon.ico", "not an icon");
    EXPECT_EQ(ErrorOf<EInvalidGraphic>([&] { StartUp(TProgramFiles::In(folder.Path())); }),
              "Icon image is not valid: \"" + folder.Path() + "icon.ico\"");
}

// The files the build places beside the programs.
TEST_F(StartUpTest, BuiltProgramFilesStartTheProgram) {
    const std::string bin = guitest::BinFolder();
    ASSERT_EQ(TProgramFiles::Installed().Folder, bin);
    ASSERT_EQ(TProgramFiles::Installed().SettingsFile, bin + "lamecore.dll");

    std::unique_ptr<TfrmFrameOutput> window = StartUp(TProgramFiles::Installed());

    EXPECT_EQ(ApplicationTitle(), "ClipGIF");
    const TGlobalSettings& settings = GlobalSettings();
    EXPECT_FALSE(settings.Version.empty());
    EXPECT_FALSE(settings.Copyright.empty());
    EXPECT_EQ(settings.ResFolder, "slate");
    for (const std::string* link :
         {&settings.HelpContectLink, &settings.HelpHowTosTutorialVideosLink,
          &settings.HelpHomePageLink, &settings.HelpMoreFreeToolsLink,
          &settings.HelpCheckForUpdatesLink, &settings.HelpSupportLink}) {
        const QUrl url = LinkUrl(*link);
        ASSERT_TRUE(url.isLocalFile()) << *link;
        EXPECT_TRUE(testsupport::FileExists(url.toLocalFile().toStdString())) << *link;
        EXPECT_EQ(url.toLocalFile().toStdString().rfind(bin + "help/", 0), 0u) << *link;
    }
    // Each stored line is the complement of a plain line.
    const std::vector<uint8_t> stored = testsupport::ReadFileBytes(bin + "lamecore.dll");
    const std::vector<std::string> lines =
        SplitSettingsLines(std::string(stored.begin(), stored.end()));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(DecodeSettingsLine(lines[0]), "[SYSTEM]");
    EXPECT_EQ(DecodeSettingsLine(lines[1]), "Name=ClipGIF");

    // The skin: 760 x 366, transparent outside the rounded corners only.
    const QImage& skin = window->SkinPicture();
    ASSERT_EQ(skin.size(), QSize(760, 366));
    const QRegion face(SkinMask(skin));
    EXPECT_EQ(window->mask(), face);
    for (const QPoint corner : {QPoint(0, 0), QPoint(759, 0), QPoint(0, 365), QPoint(759, 365)})
        EXPECT_FALSE(face.contains(corner)) << corner.x() << "," << corner.y();
    for (const QPoint inside : {QPoint(380, 0), QPoint(0, 183), QPoint(380, 183), QPoint(10, 10)})
        EXPECT_TRUE(face.contains(inside)) << inside.x() << "," << inside.y();
}

TEST_F(StartUpTest, LinksOpenThroughTheDesktop) {
    TScriptedDialogs dialogs;
    OpenLink("");
    EXPECT_TRUE(dialogs.OpenedUrls.empty());
    OpenLink("https://example.org/clipgif");
    OpenLink("help/index.html");
    OpenLink("/opt/clipgif/help.html");
    ASSERT_EQ(dialogs.OpenedUrls.size(), 3u);
    EXPECT_EQ(dialogs.OpenedUrls[0], QUrl(QStringLiteral("https://example.org/clipgif")));
    EXPECT_EQ(
        dialogs.OpenedUrls[1],
        QUrl::fromLocalFile(QString::fromStdString(guitest::BinFolder() + "help/index.html")));
    EXPECT_EQ(dialogs.OpenedUrls[2], QUrl::fromLocalFile(QStringLiteral("/opt/clipgif/help.html")));
}

class HelpMenuTest : public StartUpTest {
protected:
    void SetUp() override {
        StartUpTest::SetUp();
        folder_.WriteSettings(
            {"[SYSTEM]", "Name=Clip", "Version=2.5", "Copyright=Clip Makers",
             "HelpContectLink=http://h/content", "HelpHowTosTutorialVideosLink=http://h/howto",
             "HelpHomePageLink=http://h/home", "HelpMoreFreeToolsLink=http://h/tools",
             "HelpCheckForUpdatesLink=http://h/updates", "HelpSupportLink=http://h/support"});
        folder_.CopyIcon();
        window_ = StartUp(TProgramFiles::In(folder_.Path()));
    }

    TProgramFolder folder_;
    std::unique_ptr<TfrmFrameOutput> window_;
};

TEST_F(HelpMenuTest, ItemsInOrderOpenTheirLinks) {
    TScriptedDialogs dialogs;
    QStringList captions;
    for (QAction* action : Child<QMenu>(*window_, "PopupMenuHelp").actions())
        captions << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(captions,
              QStringList({"Help Content", "How Tos && Tutorial Videos...", "-", "Home Page...",
                           "More Free Tools...", "-", "Check for Updates...",
                           "Contact Technical Support...", "-", "About..."}));
    EXPECT_EQ(Child<QAction>(*window_, "mnuHelpContent").shortcut(), QKeySequence(Qt::Key_F1));

    for (const char* item : {"mnuHelpContent", "mnuHowTos", "mnuHomePage", "mnuMoreFreeTools",
                             "mnuCheckForUpdates", "mnuSupport"})
        Child<QAction>(*window_, item).trigger();
    std::vector<QString> opened;
    for (const QUrl& url : dialogs.OpenedUrls) opened.push_back(url.toString());
    EXPECT_EQ(opened,
              (std::vector<QString>{"http://h/content", "http://h/howto", "http://h/home",
                                    "http://h/tools", "http://h/updates", "http://h/support"}));

    // F1 opens the help content without the menu.
    window_->show();
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    QTest::keyClick(window_.get(), Qt::Key_F1);
    ASSERT_EQ(dialogs.OpenedUrls.size(), 7u);
    EXPECT_EQ(dialogs.OpenedUrls.back().toString(), "http://h/content");
}

TEST_F(HelpMenuTest, MenuOpensBelowTheHelpButtonsLeftEdge) {
    window_->move(-600, 80);
    window_->show();
    QMenu& menu = Child<QMenu>(*window_, "PopupMenuHelp");
    QTest::mouseClick(&Button(*window_, "ButtonHelp"), Qt::LeftButton);
    ASSERT_TRUE(guitest::ProcessEventsUntil([&] { return menu.isVisible(); }));
    EXPECT_EQ(menu.pos(), QPoint(-600 + 709 + 2, 80 + 6 + 19));
    menu.hide();
}

TEST_F(HelpMenuTest, CloseButtonClosesTheWindowAndFreesThePreviewWindow) {
    window_->show();
    ASSERT_NE(window_->PreviewWindow(), nullptr);
    QTest::mouseClick(&Button(*window_, "ButtonClose"), Qt::LeftButton);
    EXPECT_FALSE(window_->isVisible());
    EXPECT_EQ(window_->PreviewWindow(), nullptr);
    EXPECT_FALSE(window_->Logger().OnLog);
}

TEST_F(HelpMenuTest, AboutBoxShowsTheSettingsAndCentresOverTheWindow) {
    TScriptedDialogs dialogs;
    window_->move(370, 200);
    TFormAbout* shown = nullptr;
    QPoint shownAt;
    dialogs.OnModal = [&](QDialog& dialog) {
        shown = dynamic_cast<TFormAbout*>(&dialog);
        if (!shown) return int(QDialog::Rejected);
        shownAt = dialog.pos();
        EXPECT_EQ(dialog.windowTitle(), "About Clip");
        EXPECT_EQ(dialog.size(), QSize(445, 217));
        EXPECT_EQ(Label(*shown, "LabelAppName").text(), "Clip");
        EXPECT_EQ(Label(*shown, "LabelVersion").text(), "Version 2.5");
        EXPECT_EQ(Label(*shown, "LabelCopyRight").text(),
                  QStringLiteral("Copyright \u00a9 %1 Clip Makers. All rights reserved.")
                      .arg(QDate::currentDate().year()));
        EXPECT_EQ(Label(*shown, "LabelWeb").text(), "http://h/home");
        EXPECT_FALSE(Label(*shown, "ImageIcon").pixmap().isNull());
        EXPECT_TRUE(Child<QPushButton>(*shown, "ButtonOK").isDefault());
        // The web label opens the home page; OK closes with OK.
        QTest::mouseClick(&Label(*shown, "LabelWeb"), Qt::LeftButton);
        shown->show();
        QTest::mouseClick(&Child<QPushButton>(*shown, "ButtonOK"), Qt::LeftButton);
        EXPECT_EQ(shown->result(), QDialog::Accepted);
        return shown->result();
    };
    Child<QAction>(*window_, "mnuAbout").trigger();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shownAt, QPoint(370 + (760 - 445) / 2, 200 + (366 - 217) / 2));
    ASSERT_EQ(dialogs.OpenedUrls.size(), 1u);
    EXPECT_EQ(dialogs.OpenedUrls[0].toString(), "http://h/home");
}

TEST(WindowPlacementTest, CentringTruncatesTowardZero) {
    EXPECT_EQ(CentredOrigin(370, 760, 451), 524);
    EXPECT_EQ(CentredOrigin(370, 300, 451), 295);
    EXPECT_EQ(CentredOrigin(0, 10, 13), -1);
}

TEST(WindowPlacementTest, OnTopWindowKeepsClearOfTheOwnersButtons) {
    const QSize preview(320, 240);
    // Centred on a small screen it would cover the buttons; there is no room beside the owner,
    // so it goes below the buttons.
    const QRect small(0, 0, 1024, 768);
    const QRect owner(132, 201, 760, 366);
    EXPECT_EQ(ClearOfOwnerBand(small, owner, 92, preview, QPoint(352, 264)), QPoint(352, 293));
    // On a large screen it goes to the right of the owner, else to its left.
    const QRect large(0, 0, 1920, 1080);
    EXPECT_EQ(ClearOfOwnerBand(large, QRect(580, 357, 760, 366), 92, preview, QPoint(800, 420)),
              QPoint(1348, 357));
    EXPECT_EQ(ClearOfOwnerBand(large, QRect(1100, 357, 760, 366), 92, preview, QPoint(800, 420)),
              QPoint(772, 357));
    // Where it does not cover the buttons it stays; where nothing fits it stays too.
    EXPECT_EQ(ClearOfOwnerBand(large, QRect(0, 0, 760, 366), 92, preview, QPoint(800, 420)),
              QPoint(800, 420));
    EXPECT_EQ(ClearOfOwnerBand(QRect(0, 0, 800, 300), QRect(20, 17, 760, 266), 92, preview,
                               QPoint(240, 30)),
              QPoint(240, 30));
}

// A preview takes at most half the free screen in each direction, its aspect ratio kept.
TEST(WindowPlacementTest, PreviewFitsHalfTheScreen) {
    const QRect laptop(0, 0, 1280, 800);
    EXPECT_EQ(FittedPreviewSize(QSize(1080, 1920), laptop), QSize(225, 400));
    EXPECT_EQ(FittedPreviewSize(QSize(1920, 1080), laptop), QSize(640, 360));
    EXPECT_EQ(FittedPreviewSize(QSize(320, 240), laptop), QSize(320, 240));
    EXPECT_EQ(FittedPreviewSize(QSize(10000, 1), laptop), QSize(640, 1));
}

// Beside the owner where the screen has room, shrunk to fit that room but not below half;
// clear of its buttons where no side has room.
TEST(WindowPlacementTest, PreviewCoversNothingOfTheOwnerWhenTheScreenHasRoom) {
    const QRect laptop(0, 0, 1280, 800);
    const QRect owner(260, 217, 760, 366);
    QRect placed = PreviewPlacement(laptop, owner, 92, QSize(225, 400), QSize(0, 0));
    EXPECT_EQ(placed.size(), QSize(225, 400));
    EXPECT_EQ(placed.left(), owner.right() + 1 + 8);
    EXPECT_TRUE(laptop.contains(placed));
    EXPECT_FALSE(placed.intersects(owner));
    // A frame around the window is counted in.
    placed = PreviewPlacement(laptop, owner, 92, QSize(225, 400), QSize(2, 30));
    EXPECT_TRUE(laptop.contains(QRect(placed.topLeft(), placed.size() + QSize(2, 30))));

    // 1024x768: no side is wide enough for a 320x180 picture, the room below is.
    const QRect small(0, 0, 1024, 768);
    const QRect centred(132, 201, 760, 366);
    placed = PreviewPlacement(small, centred, 92, QSize(320, 180), QSize(0, 0));
    EXPECT_EQ(placed.size(), QSize(320, 180));
    EXPECT_TRUE(small.contains(placed));
    EXPECT_GT(placed.top(), centred.bottom());
    EXPECT_FALSE(placed.intersects(centred));
    // A portrait picture there shrinks to the room at the side.
    placed = PreviewPlacement(small, centred, 92, QSize(216, 384), QSize(0, 0));
    EXPECT_FALSE(placed.intersects(centred));
    EXPECT_TRUE(small.contains(placed));
    EXPECT_GE(placed.width() * 2, 216);
    EXPECT_NEAR(double(placed.width()) / placed.height(), 216.0 / 384, 0.01);

    // No room anywhere: full size, below the owner's buttons.
    const QRect tiny(0, 0, 800, 600);
    placed = PreviewPlacement(tiny, QRect(20, 117, 760, 366), 92, QSize(400, 300), QSize(0, 0));
    EXPECT_EQ(placed.size(), QSize(400, 300));
    EXPECT_GE(placed.top(), 117 + 92);
}

// The standard windows take the main window's dark look.
TEST_F(HelpMenuTest, DialogsAreDark) {
    const auto dark = [](const QWidget& widget) {
        const QPalette& palette = widget.palette();
        return palette.color(QPalette::Window).lightness() < 80 &&
               palette.color(QPalette::WindowText).lightness() > 200 &&
               palette.color(QPalette::Base).lightness() < 60 &&
               palette.color(QPalette::Text).lightness() > 200;
    };
    TFormAbout about(window_.get());
    EXPECT_TRUE(dark(about));
    QMessageBox box(QMessageBox::Warning, "Clip", "text", QMessageBox::Ok, window_.get());
    EXPECT_TRUE(dark(box));
    QFileDialog files(window_.get());
    EXPECT_TRUE(dark(files));
    TfrmOption options(window_.get());
    EXPECT_TRUE(dark(options));
    // Disabled text is dimmed, not gone.
    const QColor dimmed = options.palette().color(QPalette::Disabled, QPalette::Text);
    EXPECT_GT(dimmed.lightness(), options.palette().color(QPalette::Window).lightness());
    EXPECT_LT(dimmed.lightness(), options.palette().color(QPalette::Text).lightness());
}

}  // namespace
