#pragma once
// The window in which a conversion task shows its output frames (the engine's TPreviewer), as a
// Qt window: on top, a tool window with only a close button, centred on the screen; the picture
// is drawn at the top-left corner and a press of the left button on it drags the window.
#include <QImage>
#include <QPoint>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "engine/decoder/PreviewWindow.h"

class TTaskPreviewForm : public QWidget {
public:
    TTaskPreviewForm();
    void SetPicture(const QImage& picture);
    const QImage& Picture() const { return picture_; }
    std::function<void()> OnClose;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QImage picture_;
    std::optional<QPoint> dragOffset_;
};

class TQtPreviewWindow : public TPreviewWindow {
public:
    void Open(int clientWidth, int clientHeight) override;
    void SetCaption(const std::string& caption) override;
    void Paint(const TBitmap& bitmap) override;

    TTaskPreviewForm* Form() const { return form_.get(); }

private:
    std::unique_ptr<TTaskPreviewForm> form_;
};

// Makes previewers of conversion tasks use Qt windows.
void InstallQtPreviewWindows();
