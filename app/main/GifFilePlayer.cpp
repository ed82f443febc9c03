#include "app/main/GifFilePlayer.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <utility>
#include <vector>

#include "app/widgets/BitmapImage.h"
#include "gif/model/GIFCodedAnimation.h"
#include "gif/paint/GIFCodedPlayback.h"
#include "platform/Stream.h"

namespace {

using TClock = std::chrono::steady_clock;

// The file is read in pieces, so that stopping never waits for a large file to be read whole.
constexpr size_t kReadPiece = size_t{4} << 20;

}  // namespace

TGifFilePlayer::TGifFilePlayer() = default;

TGifFilePlayer::~TGifFilePlayer() { Stop(); }

void TGifFilePlayer::Play(const std::string& fileName) {
    Stop();
    fileName_ = fileName;
    picturesShown_ = 0;
    stop_ = false;
    thread_ = std::thread([this, fileName] { Run(fileName); });
}

void TGifFilePlayer::Stop() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stop_ = true;
        waiting_ = QImage();
        failure_.clear();
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    fileName_.clear();
    heldBytes_ = 0;
}

bool TGifFilePlayer::Stopping() {
    std::lock_guard<std::mutex> guard(lock_);
    return stop_;
}

template <class TimePoint>
bool TGifFilePlayer::WaitUntil(const TimePoint& deadline) {
    std::unique_lock<std::mutex> guard(lock_);
    return !wake_.wait_until(guard, deadline, [this] { return stop_; });
}

std::vector<uint8_t> TGifFilePlayer::ReadFile(const std::string& fileName) {
    TFileStream file(fileName, TFileStream::Mode::OpenRead);
    std::vector<uint8_t> bytes(static_cast<size_t>(file.Size()));
    for (size_t done = 0; done < bytes.size() && !Stopping();) {
        const size_t piece = std::min(kReadPiece, bytes.size() - done);
        file.ReadBuffer(bytes.data() + done, piece);
        done += piece;
        heldBytes_ = done;
    }
    return bytes;
}

// Each frame is composed when the one before it has shown for its delay; a thread that falls
// behind (a slow machine, huge frames) starts its clock afresh rather than racing to catch up.
void TGifFilePlayer::Run(const std::string& fileName) {
    try {
        std::vector<uint8_t> bytes = ReadFile(fileName);
        if (Stopping()) return;
        const TGIFCodedAnimation animation(std::move(bytes));
        TGIFCodedPlayback playback(animation);
        TClock::time_point due = TClock::now();
        while (playback.Next()) {
            heldBytes_ = animation.HeldBytes() + playback.HeldBytes() +
                         size_t{2} * 4 * animation.Width() * animation.Height();
            if (!Hand(ImageOfComposer(playback.Picture()))) return;
            due += std::chrono::milliseconds(playback.DelayMs());
            if (due < TClock::now()) due = TClock::now();
            if (!WaitUntil(due)) return;
        }
    } catch (const std::exception& error) {
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (stop_) return;
            failure_ = QString::fromUtf8(error.what());
        }
        deliverCall_.Request();
    }
}

bool TGifFilePlayer::Hand(QImage picture) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (stop_) return false;
        std::swap(waiting_, picture);
    }
    deliverCall_.Request();
    return true;
}

void TGifFilePlayer::Deliver() {
    QImage picture;
    QString failure;
    {
        std::lock_guard<std::mutex> guard(lock_);
        std::swap(picture, waiting_);
        std::swap(failure, failure_);
    }
    if (!picture.isNull()) {
        ++picturesShown_;
        if (OnPicture) OnPicture(picture);
    }
    if (!failure.isEmpty() && OnFailed) OnFailed(failure);
}
