#pragma once
// A preview window without a screen: it keeps what it was asked to show, for programs without a
// display and for tests.
#include <string>

#include "engine/decoder/PreviewWindow.h"
#include "platform/Bitmap.h"

class THeadlessPreviewWindow : public TPreviewWindow {
public:
    void Open(int clientWidth, int clientHeight) override;
    void SetCaption(const std::string& caption) override;
    void Paint(const TBitmap& bitmap) override;

    // What the user would do: closing the window.
    void UserClose();

    int OpenCount() const { return openCount_; }
    int ClientWidth() const { return clientWidth_; }
    int ClientHeight() const { return clientHeight_; }
    const std::string& Caption() const { return caption_; }
    int PaintCount() const { return paintCount_; }
    // The last bitmap painted.
    const TBitmap& Picture() const { return picture_; }

private:
    int openCount_ = 0;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    std::string caption_;
    int paintCount_ = 0;
    TBitmap picture_;
};
