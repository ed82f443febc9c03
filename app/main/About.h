#pragma once
// TFormAbout: the About box, with the application icon, title, version, rights line, a notice
// about copying and the home page link. Its components are named as its members.
#include <QDialog>

class QLabel;
class QPushButton;

class TFormAbout : public QDialog {
public:
    // The rights line: the year, then the holder.
    static constexpr const char* kCopyRightTemplate =
        "Copyright \u00a9 %1 %2. All rights reserved.";

    explicit TFormAbout(QWidget* owner);

    void FormCreate();
    void ButtonOKClick();
    void LabelWebClick();

private:
    void CreateComponents();

    QLabel* ImageIcon;
    QLabel* LabelAppName;
    QLabel* LabelVersion;
    QLabel* LabelCopyRight;
    QLabel* LabelWarning;
    QLabel* LabelWeb;
    QPushButton* ButtonOK;
};

// Makes the About box, centres it over the main window, shows it modally and frees it.
void ShowAboutBox(QWidget& mainWindow);
