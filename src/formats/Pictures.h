#pragma once

#include <QByteArrayView>
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

// An uncompressed Windows bitmap of 8 bits a pixel, at most 1024 x 1024, as Qt's reader decodes it
// (an indexed image); null for a bitmap of any other kind or a damaged one. For the built-in
// pictures: it uses none of Qt's image readers, whose first use loads the image plugins' list, a
// millisecond of the start-up before the menu's first paint.
QImage decodeIndexedBitmap(QByteArrayView bytes);

} // namespace Pictures
