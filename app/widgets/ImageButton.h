#pragma once
// TImageButton: the main window's own push button, drawn on the dark face as a rounded
// rectangle with four states that are easy to tell apart (normal, hover, pressed, disabled) and
// an accent ring while it has the focus. Title-strip buttons draw a glyph instead of a caption.
#include <QAbstractButton>

enum class TButtonGlyph { None, Minimise, Help, Close };
enum class TButtonState { Normal, Hover, Pressed, Disabled };

class TImageButton : public QAbstractButton {
public:
    explicit TImageButton(const QString& caption, QWidget* parent = nullptr);

    // A glyph in place of the caption (the title strip's buttons).
    void SetGlyph(TButtonGlyph glyph);
    TButtonGlyph Glyph() const { return glyph_; }
    // An accented button is filled with the accent colour while it is enabled.
    void SetAccent(bool on);
    bool Accent() const { return accent_; }

    TButtonState State() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor FillColour(TButtonState state) const;
    QColor CaptionColour(TButtonState state) const;
    void PaintGlyph(QPainter& painter, const QRectF& area, const QColor& colour) const;

    TButtonGlyph glyph_ = TButtonGlyph::None;
    bool accent_ = false;
};
