#pragma once
// TGifFilePlayer: plays a GIF file as it is stored, on a thread of its own: the thread reads
// the file, then decodes and composes each frame when its time comes and hands the picture to
// the GUI thread, the newest replacing one not yet shown. The GUI thread never reads or decodes
// and never waits for the thread, except to stop it; memory stays at the file's size, the
// logical screen, one frame and a picture on its way, however long the animation.
#include <QImage>
#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "app/main/HandOverCall.h"

class TGifFilePlayer : public QObject {
public:
    TGifFilePlayer();
    // Stops playing.
    ~TGifFilePlayer() override;
    TGifFilePlayer(const TGifFilePlayer&) = delete;
    TGifFilePlayer& operator=(const TGifFilePlayer&) = delete;

    // Plays the file from its first frame (stopping what played before) and returns at once.
    void Play(const std::string& fileName);
    // Ends the playing; no picture of it is shown afterwards.
    void Stop();
    // The file being played (empty when none).
    const std::string& FileName() const { return fileName_; }

    // GUI thread: each picture in turn, and why the file cannot be played.
    std::function<void(const QImage& picture)> OnPicture;
    std::function<void(const QString& error)> OnFailed;

    // The memory the playing holds now (any thread).
    size_t HeldBytes() const { return heldBytes_.load(std::memory_order_relaxed); }
    // Pictures shown so far of the file being played.
    int PicturesShown() const { return picturesShown_; }

private:
    void Run(const std::string& fileName);
    std::vector<uint8_t> ReadFile(const std::string& fileName);
    // Hands the picture over; false once stopped.
    bool Hand(QImage picture);
    // Waits until `deadline`; false when stopped meanwhile.
    template <class TimePoint>
    bool WaitUntil(const TimePoint& deadline);
    bool Stopping();
    void Deliver();

    std::string fileName_;
    std::thread thread_;
    std::mutex lock_;
    std::condition_variable wake_;
    bool stop_ = false;
    QImage waiting_;
    QString failure_;
    std::atomic<size_t> heldBytes_{0};
    int picturesShown_ = 0;
    THandOverCall deliverCall_{*this, [this] { Deliver(); }};
};
