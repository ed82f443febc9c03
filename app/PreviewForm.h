#pragma once
// The main window's preview window: a tool window without owner that stays on top, with only a
// close button, centred on the screen and captioned empty at first. It holds one image, "Image",
// that fills it.
#include <QWidget>

class QLabel;
class TBitmap;

class TPreviewForm : public QWidget {
public:
    TPreviewForm();

    QLabel* Image;

    // The size of the area the image fills.
    void SetClientSize(int width, int height);
    // The image shows a copy of the bitmap, stretched to the window.
    void ShowBitmap(const TBitmap& bitmap);
    // The image filled with black.
    void FillBlack();
};
