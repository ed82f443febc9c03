// A conversion task's previewer in a Qt window: shown from a worker thread, painted on the GUI
// thread, and closed by the user.
#include <QTest>
#include <atomic>
#include <thread>

#include "app/main/QtPreviewWindow.h"
#include "engine/decoder/Previewer.h"
#include "platform/Bitmap.h"
#include "tests/app/gui/GuiTestSupport.h"

namespace {

using guitest::OneColourBitmap;
using guitest::ProcessEventsUntil;

TEST(TaskPreviewTest, WorkerFramesAppearInAQtWindowUntilTheUserClosesIt) {
    guitest::Application();
    TQtPreviewWindow* window = nullptr;
    TPreviewer previewer([&window] {
        auto made = std::make_unique<TQtPreviewWindow>();
        window = made.get();
        return made;
    });
    const TBitmap red = OneColourBitmap(48, 32, RGBColor(255, 0, 0));

    std::atomic<int> shown{-1};
    std::thread worker([&] { shown = previewer.Show(red, 1, 1500000) ? 1 : 0; });
    ASSERT_TRUE(ProcessEventsUntil([&] { return shown >= 0; }));
    worker.join();
    EXPECT_EQ(shown, 1);
    ASSERT_NE(window, nullptr);
    TTaskPreviewForm& form = *window->Form();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.size(), QSize(48, 32));
    EXPECT_EQ(form.windowTitle(), "00:00:01.500");
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(form.Picture().pixel(5, 5), qRgb(255, 0, 0));

    // Dragging the picture moves the window.
    const QPoint before = form.pos();
    QTest::mousePress(&form, Qt::LeftButton, {}, QPoint(10, 10));
    QMouseEvent move(QEvent::MouseMove, QPointF(30, 25), form.mapToGlobal(QPointF(30, 25)),
                     Qt::NoButton, Qt::LeftButton, {});
    QCoreApplication::sendEvent(&form, &move);
    QTest::mouseRelease(&form, Qt::LeftButton, {}, QPoint(30, 25));
    EXPECT_EQ(form.pos(), before + QPoint(20, 15));

    form.close();
    EXPECT_TRUE(previewer.Closed());
    EXPECT_FALSE(previewer.Show(red, 2, 1540000));
}

TEST(TaskPreviewTest, InstalledFactoryMakesQtWindows) {
    guitest::Application();
    InstallQtPreviewWindows();
    std::unique_ptr<TPreviewWindow> window = PreviewWindowFactory()();
    EXPECT_NE(dynamic_cast<TQtPreviewWindow*>(window.get()), nullptr);
    SetPreviewWindowFactory(nullptr);
}

}  // namespace
