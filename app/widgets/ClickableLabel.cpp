#include "app/widgets/ClickableLabel.h"

#include <QMouseEvent>

void TClickableLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
        OnClick)
        OnClick();
    QLabel::mouseReleaseEvent(event);
}
