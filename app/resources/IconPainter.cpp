#include "app/resources/IconPainter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "app/widgets/Palette.h"

QImage PaintIcon(int size) {
    using namespace facecolors;
    QImage icon(size, size, QImage::Format_ARGB32);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);

    QLinearGradient fill(0, 4, 0, 60);
    fill.setColorAt(0, AccentHover);
    fill.setColorAt(1, AccentPressed);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(4, 4, 56, 56), 12, 12);

    // The strip of film across the middle, with its holes.
    painter.setBrush(FaceTop);
    painter.drawRoundedRect(QRectF(8, 14, 48, 36), 4, 4);
    painter.setBrush(AccentHover);
    for (int i = 0; i < 6; ++i) {
        painter.drawRoundedRect(QRectF(11 + i * 7.5, 16.5, 4, 4), 1, 1);
        painter.drawRoundedRect(QRectF(11 + i * 7.5, 43.5, 4, 4), 1, 1);
    }
    QPainterPath play;
    play.moveTo(26, 24);
    play.lineTo(41, 32);
    play.lineTo(26, 40);
    play.closeSubpath();
    painter.setBrush(Caption);
    painter.drawPath(play);
    return icon;
}
