#include "app/main/QtPreviewWindow.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>

#include "app/widgets/BitmapImage.h"
#include "app/widgets/WindowPlacement.h"

TTaskPreviewForm::TTaskPreviewForm()
    : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {}

void TTaskPreviewForm::SetPicture(const QImage& picture) {
    picture_ = picture;
    update();
}

void TTaskPreviewForm::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, picture_);
}

void TTaskPreviewForm::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void TTaskPreviewForm::mouseMoveEvent(QMouseEvent* event) {
    if (!dragOffset_ || !(event->buttons() & Qt::LeftButton)) return QWidget::mouseMoveEvent(event);
    move(event->globalPosition().toPoint() - *dragOffset_);
}

void TTaskPreviewForm::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragOffset_.reset();
    QWidget::mouseReleaseEvent(event);
}

void TTaskPreviewForm::closeEvent(QCloseEvent* event) {
    if (OnClose) OnClose();
    event->accept();
}

void TQtPreviewWindow::Open(int clientWidth, int clientHeight) {
    form_ = std::make_unique<TTaskPreviewForm>();
    form_->OnClose = [this] {
        if (OnUserClose) OnUserClose();
    };
    form_->resize(clientWidth, clientHeight);
    CentreOnScreen(*form_);
    form_->show();
}

void TQtPreviewWindow::SetCaption(const std::string& caption) {
    if (form_) form_->setWindowTitle(QString::fromStdString(caption));
}

void TQtPreviewWindow::Paint(const TBitmap& bitmap) {
    if (form_) form_->SetPicture(ImageOfBitmap(bitmap));
}

void InstallQtPreviewWindows() {
    SetPreviewWindowFactory([] { return std::make_unique<TQtPreviewWindow>(); });
}
