#pragma once
// The main window's preview window: a tool window without owner that stays on top, with only a
// close button, centred on the screen and captioned empty at first. It holds one image, "Image",
// that fills it. Besides the frames of a conversion it can play a GIF file with the animation
// painter; its context menu ("actCopyAnimation") then copies that GIF to the clipboard.
#include <QWidget>
#include <memory>
#include <string>

class QAction;
class QImage;
class QLabel;
class TBitmap;
class TGIFImage;
class TQtCanvas;

class TPreviewForm : public QWidget {
public:
    TPreviewForm();
    ~TPreviewForm() override;

    // The size of the area the image fills.
    void SetClientSize(int width, int height);
    // The image shows the picture, stretched to the window.
    void ShowPicture(const QImage& picture);
    // The image shows a copy of the bitmap, stretched to the window.
    void ShowBitmap(const TBitmap& bitmap);
    // The image filled with black.
    void FillBlack();

    // Reads the GIF file and shows the window playing it, looping, at the animation's size and
    // captioned with the file's name, until StopPlaying, the window is hidden or it goes. Raises
    // the reader's error when the file cannot be read; nothing plays then.
    void PlayAnimation(const std::string& fileName);
    // Stops the painter and lets the animation go; the picture shown stays.
    void StopPlaying();
    // The animation being played, or null.
    TGIFImage* Animation() const { return animation_.get(); }
    // Puts the animation being played (picture and GIF stream) on the system clipboard.
    void CopyAnimation();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    QLabel* Image;
    // "Copy GIF": the animation being played to the clipboard (enabled while one plays).
    QAction* actCopyAnimation;
    // The canvas is declared first: it outlives the animation whose painter draws on it.
    std::unique_ptr<TQtCanvas> canvas_;
    std::unique_ptr<TGIFImage> animation_;
};
