#include "app/options/ActualSizeForm.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include "app/widgets/WindowPlacement.h"

TActualSizeForm::TActualSizeForm(const QImage& picture, const QString& caption, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                         Qt::MSWindowsFixedSizeDialogHint),
      picture_(picture),
      closeButton_(new QPushButton(this)) {
    setWindowTitle(caption);
    setFixedSize(picture_.size());
    closeButton_->setGeometry(0, 0, 0, 0);
    closeButton_->setDefault(true);
    // Escape rejects a dialog of its own accord; Enter presses the default button.
    connect(closeButton_, &QPushButton::clicked, this, &QDialog::accept);
    CentreOnScreen(*this);
}

void TActualSizeForm::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, picture_);
}

void TActualSizeForm::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) accept();
}
