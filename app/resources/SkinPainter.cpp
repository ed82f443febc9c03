#include "app/resources/SkinPainter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "app/widgets/Palette.h"

namespace {

constexpr int kWidth = 760;
constexpr int kHeight = 366;
constexpr int kCornerRadius = 10;
constexpr int kTitleHeight = 34;

// Whether a pixel lies on the face: inside the rectangle with its corners rounded.
bool OnFace(int x, int y) {
    const int r = kCornerRadius;
    const int cx = x < r ? r : (x >= kWidth - r ? kWidth - r - 1 : x);
    const int cy = y < r ? r : (y >= kHeight - r ? kHeight - r - 1 : y);
    const double dx = x - cx;
    const double dy = y - cy;
    return dx * dx + dy * dy <= (r + 0.25) * (r + 0.25);
}

// A face pixel with a neighbour off the face (or on the picture's border).
bool OnEdge(int x, int y) {
    if (x == 0 || y == 0 || x == kWidth - 1 || y == kHeight - 1) return true;
    return !OnFace(x - 1, y) || !OnFace(x + 1, y) || !OnFace(x, y - 1) || !OnFace(x, y + 1);
}

QColor Mix(const QColor& a, const QColor& b, double t) {
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t,
                            a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t);
}

// The face's shape, pixel by pixel, so that the window mask (everything but fuchsia) has clean
// corners: gradient body, darker title strip, a lighter edge all round.
void PaintShape(QImage& skin) {
    using namespace facecolors;
    for (int y = 0; y < kHeight; ++y) {
        const QRgb body = Mix(FaceTop, FaceBottom, double(y) / (kHeight - 1)).rgb();
        const QRgb row = y < kTitleHeight ? TitleStrip.rgb() : body;
        auto* pixels = reinterpret_cast<QRgb*>(skin.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            if (!OnFace(x, y))
                pixels[x] = Transparent.rgb();
            else if (OnEdge(x, y))
                pixels[x] = Edge.rgb();
            else
                pixels[x] = y == kTitleHeight ? Hairline.rgb() : row;
        }
    }
}

void PaintPanel(QPainter& painter, const QRectF& area, qreal radius, const QColor& fill,
                const QColor& edge) {
    painter.setPen(QPen(edge, 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(area.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

// The mark before the name: a frame of film with a play triangle.
void PaintMark(QPainter& painter) {
    using namespace facecolors;
    const QRectF frame(13, 9, 20, 16);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Accent);
    painter.drawRoundedRect(frame, 3, 3);
    painter.setBrush(TitleStrip);
    for (int i = 0; i < 4; ++i) {
        painter.drawRect(QRectF(frame.left() + 2.5 + i * 4.5, frame.top() + 1.5, 2, 2));
        painter.drawRect(QRectF(frame.left() + 2.5 + i * 4.5, frame.bottom() - 3.5, 2, 2));
    }
    QPainterPath play;
    play.moveTo(frame.left() + 8, frame.top() + 5);
    play.lineTo(frame.left() + 14, frame.center().y());
    play.lineTo(frame.left() + 8, frame.bottom() - 5);
    play.closeSubpath();
    painter.drawPath(play);
}

void PaintTitle(QPainter& painter) {
    using namespace facecolors;
    QFont name(QStringLiteral("DejaVu Sans"));
    name.setBold(true);
    name.setPixelSize(15);
    painter.setFont(name);
    painter.setPen(Caption);
    const int baseline = 23;
    painter.drawText(40, baseline, QStringLiteral("ClipGIF"));
    const int nameWidth = QFontMetrics(name).horizontalAdvance(QStringLiteral("ClipGIF"));

    QFont tagline(QStringLiteral("DejaVu Sans"));
    tagline.setPixelSize(11);
    painter.setFont(tagline);
    painter.setPen(DimText);
    painter.drawText(40 + nameWidth + 10, baseline, QStringLiteral("video clips to animated GIFs"));
}

}  // namespace

QImage PaintSkin() {
    using namespace facecolors;
    QImage skin(kWidth, kHeight, QImage::Format_RGB32);
    PaintShape(skin);

    QPainter painter(&skin);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    PaintMark(painter);
    PaintTitle(painter);
    // The toolbar band behind the five buttons (24..498 x 56..84).
    PaintPanel(painter, QRectF(16, 48, 490, 44), 8, Band, Hairline);
    // The field behind the input file's name (104, 110).
    PaintPanel(painter, QRectF(96, 104, 645, 28), 5, Band, Hairline);
    // The log panel, a little larger than the log (24, 144, 713 x 169).
    PaintPanel(painter, QRectF(17, 137, 727, 183), 7, Panel, PanelEdge);
    // A hairline above the status line.
    painter.setPen(QPen(Hairline, 1));
    painter.drawLine(QPointF(18, 326.5), QPointF(742, 326.5));
    return skin;
}
