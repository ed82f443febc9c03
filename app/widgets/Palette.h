#pragma once
// The colours of the main window's face and its controls (the skin picture is drawn with the
// same ones).
#include <QColor>

namespace facecolors {

inline const QColor FaceTop{0x1e, 0x24, 0x30};
inline const QColor FaceBottom{0x27, 0x2e, 0x3c};
inline const QColor Face{0x23, 0x29, 0x36};
inline const QColor Edge{0x3a, 0x43, 0x56};
inline const QColor TitleStrip{0x19, 0x1e, 0x28};
inline const QColor Hairline{0x31, 0x39, 0x4a};
inline const QColor Panel{0x16, 0x1a, 0x22};
inline const QColor PanelEdge{0x33, 0x3b, 0x4c};
inline const QColor Band{0x1b, 0x20, 0x2a};
inline const QColor Button{0x3a, 0x43, 0x56};
inline const QColor ButtonHover{0x48, 0x53, 0x69};
inline const QColor ButtonPressed{0x2b, 0x32, 0x40};
inline const QColor Accent{0xff, 0x8a, 0x3d};
inline const QColor AccentHover{0xff, 0x9e, 0x5c};
inline const QColor AccentPressed{0xe0, 0x74, 0x2c};
inline const QColor CloseHover{0xd9, 0x3f, 0x3f};
inline const QColor Caption{0xff, 0xff, 0xff};
inline const QColor DarkCaption{0x1a, 0x1f, 0x29};
inline const QColor LogText{0xc8, 0xce, 0xd8};
inline const QColor DimText{0x8a, 0x94, 0xa6};
// The text of a field that holds what it cannot take.
inline const QColor InvalidText{0xff, 0x6b, 0x6b};
// The skin's transparent colour.
inline const QColor Transparent{0xff, 0x00, 0xff};

}  // namespace facecolors
