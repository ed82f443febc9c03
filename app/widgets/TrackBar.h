#pragma once
// TTrackBar: a horizontal slider with tick marks on top, a selected range drawn along its
// groove, and a handle that can be hidden.
#include <QSlider>

class TTrackBar : public QSlider {
public:
    explicit TTrackBar(QWidget* parent = nullptr);

    int SelStart() const { return selStart_; }
    int SelEnd() const { return selEnd_; }
    void SetSelStart(int position);
    void SetSelEnd(int position);

    bool SliderVisible() const { return sliderVisible_; }
    void SetSliderVisible(bool visible);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void PaintSelection(QPainter& painter);

    int selStart_ = 0;
    int selEnd_ = 0;
    bool sliderVisible_ = true;
};
