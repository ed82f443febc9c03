#include "app/widgets/Dialogs.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <exception>

namespace {

TDialogs* replacement = nullptr;

}  // namespace

QString TDialogs::ChooseFile(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().first();
}

int TDialogs::ShowModal(QDialog& dialog) { return dialog.exec(); }

void TDialogs::ShowMessage(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                           const QString& text) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

void TDialogs::OpenUrl(const QUrl& url) { QDesktopServices::openUrl(url); }

QString TDialogs::ChooseFolder(QWidget* parent, const QString& caption, const QString& start) {
    // Qt's own dialog, which follows the program's look.
    return QFileDialog::getExistingDirectory(
        parent, caption, start, QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
}

void TDialogs::ShowFileInFolder(const QString& fileName) {
    constexpr int kAnswerMs = 1500;
    QDBusMessage request = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    request << QStringList{QUrl::fromLocalFile(fileName).toString()} << QString();
    const QDBusMessage answer =
        QDBusConnection::sessionBus().call(request, QDBus::Block, kAnswerMs);
    if (answer.type() == QDBusMessage::ReplyMessage) return;
    OpenUrl(QUrl::fromLocalFile(QFileInfo(fileName).absolutePath()));
}

TDialogs& Dialogs() {
    static TDialogs standard;
    return replacement ? *replacement : standard;
}

void SetDialogs(TDialogs* dialogs) { replacement = dialogs; }

void RunHandler(QWidget* parent, const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& error) {
        // The application title is the application name (set from the settings at start-up).
        Dialogs().ShowMessage(parent, QMessageBox::Critical, QCoreApplication::applicationName(),
                              QString::fromUtf8(error.what()));
    }
}
