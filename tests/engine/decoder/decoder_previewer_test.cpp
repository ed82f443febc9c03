// The preview window of a conversion task, shown from a worker thread through the main thread.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/decoder/HeadlessPreviewWindow.h"
#include "engine/decoder/Previewer.h"
#include "platform/MainThread.h"

namespace {

// A headless window that reports its destruction.
class TWatchedWindow : public THeadlessPreviewWindow {
public:
    explicit TWatchedWindow(bool* destroyed) : destroyed_(destroyed) {}
    ~TWatchedWindow() override { *destroyed_ = true; }

private:
    bool* destroyed_;
};

class PreviewerTest : public ::testing::Test {
protected:
    void SetUp() override { SetMainThread(); }

    TPreviewWindowFactory Factory() {
        return [this] {
            ++windowsMade;
            auto made = std::make_unique<TWatchedWindow>(&windowDestroyed);
            window = made.get();
            return made;
        };
    }

    // Runs `work` on a worker thread while the main thread serves its calls.
    void OnWorker(const std::function<void()>& work) {
        std::atomic<bool> done{false};
        std::thread worker([&] {
            work();
            done = true;
        });
        while (!done) WaitForSynchronize(20);
        worker.join();
    }

    int windowsMade = 0;
    bool windowDestroyed = false;
    TWatchedWindow* window = nullptr;
};

TEST_F(PreviewerTest, ShowsFramesFromAWorkerInOneWindow) {
    TBitmap first(80, 60);
    first.SetPixel(5, 5, RGBColor(255, 0, 0));
    TBitmap second(80, 60);
    {
        TPreviewer previewer(Factory());
        bool shown = false;
        OnWorker([&] { shown = previewer.Show(first, 1, 1500000); });
        EXPECT_TRUE(shown);
        ASSERT_EQ(windowsMade, 1);
        EXPECT_EQ(window->OpenCount(), 1);
        EXPECT_EQ(window->ClientWidth(), 80);
        EXPECT_EQ(window->ClientHeight(), 60);
        EXPECT_EQ(window->Caption(), "00:00:01.500");
        EXPECT_EQ(window->Picture().Pixel(5, 5), RGBColor(255, 0, 0));

        OnWorker([&] { shown = previewer.Show(second, 2, INT64_MIN); });
        EXPECT_TRUE(shown);
        EXPECT_EQ(windowsMade, 1);
        EXPECT_EQ(window->OpenCount(), 1);
        EXPECT_EQ(window->PaintCount(), 2);
        EXPECT_EQ(window->Caption(), "N/A");
        EXPECT_FALSE(windowDestroyed);
    }
    EXPECT_TRUE(windowDestroyed);
}

TEST_F(PreviewerTest, ClosedWindowStopsThePreview) {
    TBitmap frame(16, 16);
    TPreviewer previewer(Factory());
    ASSERT_TRUE(previewer.Show(frame, 1, 0));
    window->UserClose();
    EXPECT_TRUE(previewer.Closed());
    bool shown = true;
    OnWorker([&] { shown = previewer.Show(frame, 2, 40000); });
    EXPECT_FALSE(shown);
    EXPECT_EQ(window->PaintCount(), 1);
    EXPECT_EQ(window->Caption(), "00:00:00.000");
}

TEST_F(PreviewerTest, NoWindowUntilTheFirstFrame) {
    { TPreviewer previewer(Factory()); }
    EXPECT_EQ(windowsMade, 0);

    // A front end that cannot make a window ends the preview instead of failing.
    TPreviewer windowless([] { return std::unique_ptr<TPreviewWindow>(); });
    TBitmap frame(8, 8);
    EXPECT_FALSE(windowless.Show(frame, 1, 0));
    EXPECT_TRUE(windowless.Closed());

    // Without a factory of the front end's, previewers paint into a headless window.
    TPreviewer headless;
    EXPECT_TRUE(headless.Show(frame, 1, 0));
}

}  // namespace
