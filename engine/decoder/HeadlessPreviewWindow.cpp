#include "engine/decoder/HeadlessPreviewWindow.h"

void THeadlessPreviewWindow::Open(int clientWidth, int clientHeight) {
    ++openCount_;
    clientWidth_ = clientWidth;
    clientHeight_ = clientHeight;
}

void THeadlessPreviewWindow::SetCaption(const std::string& caption) { caption_ = caption; }

void THeadlessPreviewWindow::Paint(const TBitmap& bitmap) {
    picture_ = bitmap;
    ++paintCount_;
}

void THeadlessPreviewWindow::UserClose() {
    if (OnUserClose) OnUserClose();
}
