#pragma once
// Where windows open.
class QWidget;

// Moves a window so that its current size is centred on the primary screen.
void CentreOnScreen(QWidget& window);

// The left (or top) that centres a window of `size` over an owner at `ownerPos` of `ownerSize`:
// ownerPos + (ownerSize - size) / 2, the division truncating toward zero.
constexpr int CentredOrigin(int ownerPos, int ownerSize, int size) {
    return ownerPos + (ownerSize - size) / 2;
}
