#pragma once
// TFrameImage: the options dialog's frame preview. It keeps a picture of its own size (its
// canvas), which is filled or drawn into and then shown as it is; a click is reported.
#include <QImage>
#include <QWidget>
#include <functional>

#include "app/options/OptionRules.h"

class TFrameImage : public QWidget {
public:
    TFrameImage(int width, int height, QWidget* parent = nullptr);

    void FillBlack();
    // Stretches the picture into the placement; the canvas outside it stays as it was.
    void Draw(const QImage& picture, const TPlacement& placement);
    const QImage& Canvas() const { return canvas_; }

    std::function<void()> OnClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage canvas_;
};
