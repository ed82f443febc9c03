#include "app/widgets/DarkLook.h"

#include <QApplication>
#include <QStyleFactory>
#include <QToolTip>

#include "app/widgets/Palette.h"

namespace {

const QColor kWindow{0x23, 0x29, 0x36};
const QColor kField{0x16, 0x1a, 0x22};
const QColor kAlternate{0x1e, 0x24, 0x30};
const QColor kButton{0x2e, 0x36, 0x46};
const QColor kText{0xe6, 0xe9, 0xef};
const QColor kDarkText{0x1a, 0x1f, 0x29};

// `colour` at `opacity` over `under`: how dimmed text looks on its background.
QColor Over(const QColor& colour, const QColor& under, double opacity) {
    return QColor::fromRgbF(colour.redF() * opacity + under.redF() * (1 - opacity),
                            colour.greenF() * opacity + under.greenF() * (1 - opacity),
                            colour.blueF() * opacity + under.blueF() * (1 - opacity));
}

}  // namespace

QPalette DarkPalette() {
    QPalette palette;
    palette.setColor(QPalette::Window, kWindow);
    palette.setColor(QPalette::WindowText, kText);
    palette.setColor(QPalette::Base, kField);
    palette.setColor(QPalette::AlternateBase, kAlternate);
    palette.setColor(QPalette::ToolTipBase, kAlternate);
    palette.setColor(QPalette::ToolTipText, kText);
    palette.setColor(QPalette::PlaceholderText, facecolors::DimText);
    palette.setColor(QPalette::Text, kText);
    palette.setColor(QPalette::Button, kButton);
    palette.setColor(QPalette::ButtonText, kText);
    palette.setColor(QPalette::BrightText, Qt::white);
    palette.setColor(QPalette::Light, facecolors::ButtonHover);
    palette.setColor(QPalette::Midlight, facecolors::Edge);
    palette.setColor(QPalette::Mid, facecolors::PanelEdge);
    palette.setColor(QPalette::Dark, kField);
    palette.setColor(QPalette::Shadow, Qt::black);
    palette.setColor(QPalette::Highlight, facecolors::Accent);
    palette.setColor(QPalette::HighlightedText, kDarkText);
    palette.setColor(QPalette::Link, facecolors::Accent);
    palette.setColor(QPalette::LinkVisited, facecolors::AccentPressed);
    const QColor dimmed = Over(kText, kWindow, 0.4);
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::HighlightedText})
        palette.setColor(QPalette::Disabled, role, dimmed);
    palette.setColor(QPalette::Disabled, QPalette::Base, kWindow);
    palette.setColor(QPalette::Disabled, QPalette::Button, kWindow);
    palette.setColor(QPalette::Disabled, QPalette::Highlight, facecolors::Edge);
    return palette;
}

void ApplyDarkLook() {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const QPalette palette = DarkPalette();
    QApplication::setPalette(palette);
    QToolTip::setPalette(palette);
}
