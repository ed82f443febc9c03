#pragma once
// The window that shows the options dialog's current frame at its actual size: a fixed client
// area of the picture's size, centred on the screen; Enter, Escape or a click on the picture
// close it.
#include <QDialog>
#include <QImage>

class QPushButton;

class TActualSizeForm : public QDialog {
public:
    TActualSizeForm(const QImage& picture, const QString& caption, QWidget* owner);

    const QImage& Picture() const { return picture_; }
    // Invisible, default and cancel at once.
    QPushButton* CloseButton() const { return closeButton_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage picture_;
    QPushButton* closeButton_;
};
