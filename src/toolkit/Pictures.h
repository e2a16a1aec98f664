#pragma once

#include <QImage>
#include <QString>

// Loading the pictures that the screens show: icons with their own transparency, bitmaps whose
// lower left pixel's colour is drawn transparent. Failures throw GameError with the text the
// player sees.
namespace Pictures {

// An icon file; throws "Icon image is not valid" when the file holds no icon.
QImage loadIcon(const QString &path);

// A bitmap file, its lower left colour made transparent; throws "Bitmap image is not valid".
QImage loadTransparentBitmap(const QString &path);

// `image` with every pixel of its lower left pixel's colour made transparent.
QImage keyLowerLeft(const QImage &image);

} // namespace Pictures
