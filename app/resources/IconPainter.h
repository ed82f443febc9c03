#pragma once
// The application icon: a film frame with a play triangle on the accent colour.
#include <QImage>

QImage PaintIcon(int size);
