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

// The client size of the preview of a picture of `picture` on a screen whose free area is
// `screen`: the picture's size, scaled down with its aspect ratio kept to at most half the
// screen's width and half its height; at least 1 x 1.
QSize FittedPreviewSize(const QSize& picture, const QRect& screen);

// Where a window of client size `size` goes so that it covers none of the `owner` window, on a
// screen whose free area is `screen`; its frame adds `frameExtra` (0 x 0 without one: QSize()
// would take a pixel off each side). It goes on the side of the owner with the most room
// (right, left, below, above), shrunk with its aspect ratio kept when the side is too small for
// it, but to no less than half its width and height. Where no side has that
// room, at its size where ClearOfOwnerBand puts it, clear of the owner's top `band` (its title
// and buttons). The result's top-left is the frame's place, its size the client size.
QRect PreviewPlacement(const QRect& screen, const QRect& owner, int band, const QSize& size,
                       const QSize& frameExtra);
