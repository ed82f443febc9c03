#pragma once
// How the windows deal with the user and the desktop: the open dialog, modal windows, message
// boxes and links handed to the desktop all go through one object, which tests replace with
// their own to answer in place of a user.
#include <QMessageBox>
#include <QString>
#include <QUrl>
#include <functional>

class QDialog;
class QFileDialog;
class QWidget;

class TDialogs {
public:
    virtual ~TDialogs() = default;
    // Runs the open dialog; the chosen file, or an empty text when the user cancelled.
    virtual QString ChooseFile(QFileDialog& dialog);
    // Shows a window modally; its result (QDialog::Accepted or QDialog::Rejected).
    virtual int ShowModal(QDialog& dialog);
    virtual void ShowMessage(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                             const QString& text);
    // Asks the desktop to open the URL (its answer is not looked at).
    virtual void OpenUrl(const QUrl& url);
};

// The dialogs in use: the standard ones unless SetDialogs put others in place.
TDialogs& Dialogs();
// `dialogs` answers from now on (the caller keeps it alive); null brings the standard ones back.
void SetDialogs(TDialogs* dialogs);

// Runs an event handler; an error it raises is shown in a message box captioned with the
// application title instead of leaving the handler.
void RunHandler(QWidget* parent, const std::function<void()>& handler);
