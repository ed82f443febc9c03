#include "app/widgets/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

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
