#include "app/widgets/TrackBar.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

namespace {

const QColor kSelectionColour(0xff, 0x8a, 0x3d);

}  // namespace

TTrackBar::TTrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setTickPosition(QSlider::TicksAbove);
    setSingleStep(1);
}

void TTrackBar::SetSelStart(int position) {
    selStart_ = position;
    update();
}

void TTrackBar::SetSelEnd(int position) {
    selEnd_ = position;
    update();
}

void TTrackBar::SetSliderVisible(bool visible) {
    sliderVisible_ = visible;
    update();
}

void TTrackBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.subControls = QStyle::SC_SliderGroove;
    if (tickPosition() != QSlider::NoTicks) option.subControls |= QStyle::SC_SliderTickmarks;
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
    PaintSelection(painter);
    if (!sliderVisible_) return;
    // The handle goes over the selection band.
    option.subControls = QStyle::SC_SliderHandle;
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
}

// The selected range as an accent band under the groove, from the start to the end position,
// with a small mark at each end.
void TTrackBar::PaintSelection(QPainter& painter) {
    if (selEnd_ <= selStart_ || maximum() <= minimum()) return;
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const int span = groove.width() - handle.width();
    const auto xOf = [&](int value) {
        return groove.left() + handle.width() / 2 +
               QStyle::sliderPositionFromValue(minimum(), maximum(), value, span);
    };
    const int left = xOf(qBound(minimum(), selStart_, maximum()));
    const int right = xOf(qBound(minimum(), selEnd_, maximum()));
    const int top = qMin(groove.bottom() + 3, height() - 4);
    const QColor colour =
        isEnabled() ? kSelectionColour : palette().color(QPalette::Disabled, QPalette::WindowText);
    painter.fillRect(QRect(left, top, right - left + 1, 3), colour);
    painter.fillRect(QRect(left, top - 2, 1, 5), colour);
    painter.fillRect(QRect(right, top - 2, 1, 5), colour);
}
