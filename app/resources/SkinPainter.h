#pragma once
// The main window's face as a skin picture: 760 x 366, a dark rounded face with the title strip,
// the toolbar band, the file-name field and the log panel drawn in, and fuchsia outside the
// rounded corners.
#include <QImage>

QImage PaintSkin();
