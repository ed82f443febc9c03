#pragma once
// A label that reports a click of the left button.
#include <QLabel>
#include <functional>

class TClickableLabel : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> OnClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};
