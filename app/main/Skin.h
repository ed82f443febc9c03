#pragma once
// The main window's skin: a picture of the whole face in which fuchsia (255,0,255) marks where
// the window is transparent.
#include <QBitmap>
#include <QImage>
#include <string>

// The skin picture from a BMP file; raises the file's error (naming the operation) when it
// cannot be read.
QImage LoadSkinPicture(const std::string& fileName);
// The window mask of a skin picture: set where the picture is not fuchsia.
QBitmap SkinMask(const QImage& picture);
