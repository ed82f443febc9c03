#include "app/widgets/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

void CentreOnScreen(QWidget& window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect frame(QPoint(), window.size());
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

QPoint ClearOfOwnerBand(const QRect& screen, const QRect& owner, int band, const QSize& size,
                        const QPoint& preferred) {
    constexpr int kGap = 8;
    const QRect ownerBand(owner.left(), owner.top(), owner.width(), band);
    const auto clearFits = [&](const QPoint& at) {
        const QRect placed(at, size);
        return screen.contains(placed) && !placed.intersects(ownerBand);
    };
    const QPoint candidates[] = {
        preferred,
        QPoint(owner.right() + 1 + kGap, owner.top()),
        QPoint(owner.left() - kGap - size.width(), owner.top()),
        QPoint(preferred.x(), owner.top() + band),
    };
    for (const QPoint& at : candidates)
        if (clearFits(at)) return at;
    return preferred;
}

QSize FittedPreviewSize(const QSize& picture, const QRect& screen) {
    const QSize limit(std::max(screen.width() / 2, 1), std::max(screen.height() / 2, 1));
    if (picture.isEmpty()) return QSize(1, 1);
    if (picture.width() <= limit.width() && picture.height() <= limit.height()) return picture;
    return picture.scaled(limit, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

namespace {

// A side of the owner where a window may go.
struct TSide {
    QRect Area;
    // Where in the area the window goes: at its left, right, top or bottom edge, centred on the
    // owner along the other direction.
    enum { Left, Right, Top, Bottom } Edge;
};

QPoint PlaceOnSide(const TSide& side, const QRect& owner, const QSize& frame) {
    const QRect& area = side.Area;
    const auto within = [](int value, int low, int high) {
        return std::max(low, std::min(value, high));
    };
    const int x = within(owner.center().x() - frame.width() / 2, area.left(),
                         area.right() + 1 - frame.width());
    const int y = within(owner.center().y() - frame.height() / 2, area.top(),
                         area.bottom() + 1 - frame.height());
    switch (side.Edge) {
        case TSide::Left:
            return QPoint(area.left(), y);
        case TSide::Right:
            return QPoint(area.right() + 1 - frame.width(), y);
        case TSide::Top:
            return QPoint(x, area.top());
        case TSide::Bottom:
            break;
    }
    return QPoint(x, area.bottom() + 1 - frame.height());
}

}  // namespace

QRect PreviewPlacement(const QRect& screen, const QRect& owner, int band, const QSize& size,
                       const QSize& frameExtra) {
    constexpr int kGap = 8;
    const TSide sides[] = {
        {QRect(QPoint(owner.right() + 1 + kGap, screen.top()), screen.bottomRight()), TSide::Left},
        {QRect(screen.topLeft(), QPoint(owner.left() - 1 - kGap, screen.bottom())), TSide::Right},
        {QRect(QPoint(screen.left(), owner.bottom() + 1 + kGap), screen.bottomRight()), TSide::Top},
        {QRect(screen.topLeft(), QPoint(screen.right(), owner.top() - 1 - kGap)), TSide::Bottom},
    };
    const TSide* best = nullptr;
    QSize bestSize;
    for (const TSide& side : sides) {
        const QSize room = side.Area.size() - frameExtra;
        if (room.isEmpty()) continue;
        QSize fitted = size;
        if (size.width() > room.width() || size.height() > room.height())
            fitted = size.scaled(room, Qt::KeepAspectRatio);
        if (fitted.width() * 2 < size.width() || fitted.height() * 2 < size.height()) continue;
        if (!best || fitted.width() * fitted.height() > bestSize.width() * bestSize.height()) {
            best = &side;
            bestSize = fitted;
        }
    }
    if (best) return QRect(PlaceOnSide(*best, owner, bestSize + frameExtra), bestSize);
    QRect centred(QPoint(), size + frameExtra);
    centred.moveCenter(screen.center());
    return QRect(ClearOfOwnerBand(screen, owner, band, size + frameExtra, centred.topLeft()), size);
}
