#include "app/widgets/ImageButton.h"

#include <QPainter>
#include <QPainterPath>

#include "app/widgets/Palette.h"

namespace {

constexpr qreal kRadius = 5;
constexpr qreal kGlyphRadius = 4;

}  // namespace

TImageButton::TImageButton(const QString& caption, QWidget* parent) : QAbstractButton(parent) {
    setText(caption);
    setAttribute(Qt::WA_Hover);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

void TImageButton::SetGlyph(TButtonGlyph glyph) {
    glyph_ = glyph;
    setFocusPolicy(glyph == TButtonGlyph::None ? Qt::StrongFocus : Qt::NoFocus);
    update();
}

void TImageButton::SetAccent(bool on) {
    accent_ = on;
    update();
}

TButtonState TImageButton::State() const {
    if (!isEnabled()) return TButtonState::Disabled;
    if (isDown()) return TButtonState::Pressed;
    if (underMouse()) return TButtonState::Hover;
    return TButtonState::Normal;
}

QSize TImageButton::sizeHint() const { return QSize(90, 28); }

QColor TImageButton::FillColour(TButtonState state) const {
    using namespace facecolors;
    if (glyph_ != TButtonGlyph::None) {
        switch (state) {
            case TButtonState::Hover:
                return glyph_ == TButtonGlyph::Close ? CloseHover : ButtonHover;
            case TButtonState::Pressed:
                return glyph_ == TButtonGlyph::Close ? CloseHover.darker(120) : ButtonPressed;
            default:
                return Qt::transparent;
        }
    }
    switch (state) {
        case TButtonState::Disabled:
            return Face;
        case TButtonState::Pressed:
            return accent_ ? AccentPressed : ButtonPressed;
        case TButtonState::Hover:
            return accent_ ? AccentHover : ButtonHover;
        case TButtonState::Normal:
            break;
    }
    return accent_ ? facecolors::Accent : Button;
}

QColor TImageButton::CaptionColour(TButtonState state) const {
    using namespace facecolors;
    if (state == TButtonState::Disabled) {
        QColor dim = Caption;
        dim.setAlphaF(0.4);
        return dim;
    }
    if (glyph_ == TButtonGlyph::None && accent_) return DarkCaption;
    if (glyph_ != TButtonGlyph::None && state == TButtonState::Normal) return LogText;
    return Caption;
}

void TImageButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const TButtonState state = State();
    const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = glyph_ == TButtonGlyph::None ? kRadius : kGlyphRadius;

    painter.setPen(state == TButtonState::Disabled && glyph_ == TButtonGlyph::None
                       ? QPen(facecolors::Edge, 1)
                       : Qt::NoPen);
    painter.setBrush(FillColour(state));
    painter.drawRoundedRect(area, radius, radius);

    if (hasFocus() && state != TButtonState::Disabled) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(accent_ ? facecolors::Caption : facecolors::Accent, 1.5));
        painter.drawRoundedRect(area.adjusted(1, 1, -1, -1), radius - 1, radius - 1);
    }

    const QColor caption = CaptionColour(state);
    const QRectF content = state == TButtonState::Pressed ? area.translated(0, 1) : area;
    if (glyph_ != TButtonGlyph::None) {
        PaintGlyph(painter, content, caption);
        return;
    }
    QFont captionFont = font();
    captionFont.setBold(true);
    painter.setFont(captionFont);
    painter.setPen(caption);
    painter.drawText(content, Qt::AlignCenter, text());
}

void TImageButton::PaintGlyph(QPainter& painter, const QRectF& area, const QColor& colour) const {
    const QPointF centre = area.center();
    painter.setPen(QPen(colour, 1.6, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    switch (glyph_) {
        case TButtonGlyph::Minimise:
            painter.drawLine(QPointF(centre.x() - 4.5, centre.y() + 3),
                             QPointF(centre.x() + 4.5, centre.y() + 3));
            break;
        case TButtonGlyph::Close:
            painter.drawLine(centre + QPointF(-4, -4), centre + QPointF(4, 4));
            painter.drawLine(centre + QPointF(-4, 4), centre + QPointF(4, -4));
            break;
        case TButtonGlyph::Help: {
            QFont mark = font();
            mark.setBold(true);
            mark.setPixelSize(13);
            painter.setFont(mark);
            painter.setPen(colour);
            painter.drawText(area, Qt::AlignCenter, QStringLiteral("?"));
            break;
        }
        case TButtonGlyph::None:
            break;
    }
}
