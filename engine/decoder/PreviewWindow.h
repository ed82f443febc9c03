#pragma once
// The window a TPreviewer paints into. The desktop program implements it with a real window;
// HeadlessPreviewWindow.h has one without a screen. Every call comes on the main thread.
#include <functional>
#include <memory>
#include <string>

class TBitmap;

class TPreviewWindow {
public:
    virtual ~TPreviewWindow() = default;
    // Shows the window the first time: always on top, a tool window with only a close button,
    // centred on the screen, with a client area of `clientWidth` x `clientHeight`. A press of
    // the left button in the client area drags the window.
    virtual void Open(int clientWidth, int clientHeight) = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    // Draws the bitmap at the client area's top-left corner.
    virtual void Paint(const TBitmap& bitmap) = 0;

    // The window calls this when the user closes it.
    std::function<void()> OnUserClose;
};

using TPreviewWindowFactory = std::function<std::unique_ptr<TPreviewWindow>()>;

// The factory previewers use to make their window. The front end installs its own at start-up;
// without one previewers use a headless window.
void SetPreviewWindowFactory(TPreviewWindowFactory factory);
TPreviewWindowFactory PreviewWindowFactory();
