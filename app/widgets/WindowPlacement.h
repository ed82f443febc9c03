#pragma once
// Where windows open.
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// Moves a window so that its current size is centred on the primary screen.
void CentreOnScreen(QWidget& window);

// The left (or top) that centres a window of `size` over an owner at `ownerPos` of `ownerSize`:
// ownerPos + (ownerSize - size) / 2, the division truncating toward zero.
constexpr int CentredOrigin(int ownerPos, int ownerSize, int size) {
    return ownerPos + (ownerSize - size) / 2;
}

// Where a window of `size` that stays on top of `owner` goes so that it leaves the owner's top
// band (`band` pixels high: its title and buttons) uncovered, on a screen whose free area is
// `screen`: `preferred` when the window placed there keeps clear of the band; else beside the
// owner, right or else left, level with its top, where the screen has room; else just below
// the band, at the preferred left; else `preferred` after all.
QPoint ClearOfOwnerBand(const QRect& screen, const QRect& owner, int band, const QSize& size,
                        const QPoint& preferred);
