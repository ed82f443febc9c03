#pragma once
// How the windows deal with the user and the desktop: the open dialog, the folder chooser, modal
// windows, message boxes, links and files handed to the desktop all go through one object,
// which tests replace with their own to answer in place of a user.
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
    // Lets the user choose a folder, starting at `start`; an empty text when cancelled.
    virtual QString ChooseFolder(QWidget* parent, const QString& caption, const QString& start);
    // Opens the file manager at the file: the desktop's file manager shows it selected, or,
    // where none answers that request, the folder it is in opens.
    virtual void ShowFileInFolder(const QString& fileName);
};

// The dialogs in use: the standard ones unless SetDialogs put others in place.
TDialogs& Dialogs();
// `dialogs` answers from now on (the caller keeps it alive); null brings the standard ones back.
void SetDialogs(TDialogs* dialogs);

// Runs an event handler; an error it raises is shown in a message box captioned with the
// application title instead of leaving the handler.
void RunHandler(QWidget* parent, const std::function<void()>& handler);
