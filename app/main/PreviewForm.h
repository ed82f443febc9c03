#pragma once
// The main window's preview window: a tool window without owner that stays on top, with only a
// close button, captioned empty at first. It holds one image, "Image", that fills it. Its size
// follows the pictures it shows, scaled down to at most half the screen with their aspect kept,
// and it sits where it covers none of the main window when the screen has room. Besides the
// frames of a conversion it plays a GIF file as it is stored (TGifFilePlayer); its context menu
// ("actCopyAnimation") then copies that GIF to the clipboard.
#include <QSize>
#include <QWidget>
#include <memory>
#include <string>

#include "app/main/GifFilePlayer.h"

class QAction;
class QImage;
class QLabel;
class TBitmap;

class TPreviewForm : public QWidget {
public:
    // The top band of the owner (its title and buttons) that the preview never covers.
    static constexpr int kOwnerBand = 92;

    // `owner` is the window the preview keeps clear of (it outlives the preview, or is null).
    explicit TPreviewForm(const QWidget* owner = nullptr);
    ~TPreviewForm() override;

    // The image shows the picture, stretched to the window; a picture of another size than the
    // one before resizes and places the window for it.
    void ShowPicture(const QImage& picture);
    // The image shows a copy of the bitmap.
    void ShowBitmap(const TBitmap& bitmap);
    // The image filled with black.
    void FillBlack();
    // The window takes the size and place for pictures of `pictureSize`.
    void FitToPicture(const QSize& pictureSize);
    // The size of the pictures shown (empty before the first).
    const QSize& PictureSize() const { return pictureSize_; }

    // Plays the GIF file, looping as it says, captioned with the file's name, until
    // StopPlaying, the window is hidden or it goes; the window shows with the first picture.
    // Returns at once: the file is read and decoded off the GUI thread. A file that cannot be
    // played calls OnPlayFailed with the reason.
    void PlayAnimation(const std::string& fileName);
    // Stops playing; the picture shown stays.
    void StopPlaying();
    // The file being played (empty when none) and the player.
    const std::string& PlayingFile() const { return player_.FileName(); }
    const TGifFilePlayer& Player() const { return player_; }
    // Puts the GIF being played (the file and the picture shown) on the system clipboard.
    void CopyAnimation();

    std::function<void(const QString& error)> OnPlayFailed;

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void ShowPlayedPicture(const QImage& picture);

    const QWidget* owner_;
    QLabel* Image;
    // "Copy GIF": the GIF being played to the clipboard (enabled while one plays).
    QAction* actCopyAnimation;
    TGifFilePlayer player_;
    QSize pictureSize_;
};
