#include "app/main/About.h"

#include <QApplication>
#include <QDate>
#include <QLabel>
#include <QPushButton>

#include "app/main/Globals.h"
#include "app/main/UtilFuncs.h"
#include "app/widgets/ClickableLabel.h"
#include "app/widgets/Dialogs.h"
#include "app/widgets/ObjectName.h"
#include "app/widgets/WindowPlacement.h"

namespace {

constexpr int kClientWidth = 445;
constexpr int kClientHeight = 217;

const char* const kWarning =
    "Warning: this computer program is protected by copyright law and international treaties. "
    "Unauthorized reproduction or distribution of this program, or any portion of it, may "
    "result in severe civil and criminal penalties.";

QLabel* MakeLabel(const char* name, const QString& caption, QWidget* parent, int left, int top) {
    auto* label = Named(name, new QLabel(caption, parent));
    label->move(left, top);
    return label;
}

}  // namespace

TFormAbout::TFormAbout(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                         Qt::MSWindowsFixedSizeDialogHint) {
    CreateComponents();
    FormCreate();
}

void TFormAbout::CreateComponents() {
    setWindowTitle(QStringLiteral("About %1"));
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    setFixedSize(kClientWidth, kClientHeight);

    ImageIcon = Named("ImageIcon", new QLabel(this));
    ImageIcon->setGeometry(16, 8, 33, 33);
    ImageIcon->setAlignment(Qt::AlignCenter);

    LabelAppName = MakeLabel("LabelAppName", QStringLiteral("%1"), this, 66, 8);
    QFont nameFont(QStringLiteral("Arial"));
    nameFont.setPixelSize(13);
    nameFont.setBold(true);
    LabelAppName->setFont(nameFont);
    LabelVersion = MakeLabel("LabelVersion", QStringLiteral("Version %1"), this, 66, 26);
    LabelCopyRight =
        MakeLabel("LabelCopyRight", QString::fromUtf8(kCopyRightTemplate), this, 16, 72);

    LabelWarning = Named("LabelWarning", new QLabel(QString::fromLatin1(kWarning), this));
    LabelWarning->setWordWrap(true);
    LabelWarning->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LabelWarning->setGeometry(16, 104, 401, 64);

    // The box takes the program's dark look; the link stands out in its accent colour.
    auto* web = Named("LabelWeb", new TClickableLabel(QStringLiteral("%1"), this));
    web->move(16, 192);
    QPalette link = web->palette();
    link.setColor(QPalette::WindowText, link.color(QPalette::Link));
    web->setPalette(link);
    QFont linkFont = web->font();
    linkFont.setUnderline(true);
    web->setFont(linkFont);
    web->setCursor(Qt::PointingHandCursor);
    web->OnClick = [this] { LabelWebClick(); };
    LabelWeb = web;

    ButtonOK = Named("ButtonOK", new QPushButton(QStringLiteral("OK"), this));
    ButtonOK->setGeometry(344, 184, 75, 25);
    ButtonOK->setDefault(true);
    connect(ButtonOK, &QPushButton::clicked, this, [this] { ButtonOKClick(); });
}

void TFormAbout::FormCreate() {
    const TGlobalSettings& settings = GlobalSettings();
    setWindowTitle(windowTitle().arg(ApplicationTitle()));
    ImageIcon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
    LabelAppName->setText(ApplicationTitle());
    LabelWeb->setText(QString::fromStdString(settings.HelpHomePageLink));
    LabelVersion->setText(LabelVersion->text().arg(QString::fromStdString(settings.Version)));
    LabelCopyRight->setText(LabelCopyRight->text()
                                .arg(QDate::currentDate().year())
                                .arg(QString::fromStdString(settings.Copyright)));
    for (QLabel* label : {LabelAppName, LabelVersion, LabelCopyRight, LabelWeb})
        label->adjustSize();
}

void TFormAbout::ButtonOKClick() { accept(); }

void TFormAbout::LabelWebClick() { OpenLink(GlobalSettings().HelpHomePageLink); }

void ShowAboutBox(QWidget& mainWindow) {
    TFormAbout about(&mainWindow);
    const QRect owner = mainWindow.frameGeometry();
    const QRect box = about.frameGeometry();
    about.move(CentredOrigin(owner.left(), owner.width(), box.width()),
               CentredOrigin(owner.top(), owner.height(), box.height()));
    Dialogs().ShowModal(about);
}
