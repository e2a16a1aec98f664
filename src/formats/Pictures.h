#pragma once

#include <QImage>
#include <QString>

class QIODevice;

// Loading the pictures that the screens show: icons with their own transparency, bitmaps whose
// lower left pixel's colour is drawn transparent. Failures throw GameError with the text the
// player sees. A picture whose header claims more than 16 MB of pixels counts as not valid: the
// game draws these at 32 x 32, and a file of a few bytes must not take a large allocation.
namespace Pictures {

// An icon file; throws "Icon image is not valid" when the file holds no icon.
QImage loadIcon(const QString &path);
QImage loadIcon(QIODevice *device);

// A bitmap file, its lower left colour made transparent; throws "Bitmap image is not valid".
QImage loadTransparentBitmap(const QString &path);
QImage loadTransparentBitmap(QIODevice *device);

// `source` with every pixel of its lower left pixel's colour made transparent.
QImage keyLowerLeft(const QImage &source);

} // namespace Pictures
