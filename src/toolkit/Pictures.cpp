#include "toolkit/Pictures.h"

#include "toolkit/GameError.h"

#include <QImageReader>

namespace Pictures {

QImage loadIcon(const QString &path)
{
    QImageReader reader(path, "ico");
    reader.setDecideFormatFromContent(false);
    // The largest image of the icon is the one drawn at 32 x 32.
    QImage best;
    do {
        const QImage image = reader.read();
        if (image.isNull())
            break;
        if (best.isNull() || image.width() > best.width())
            best = image;
    } while (reader.jumpToNextImage());
    if (best.isNull())
        throw GameError(QStringLiteral("Icon image is not valid"));
    return best.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage loadTransparentBitmap(const QString &path)
{
    QImageReader reader(path, "bmp");
    const QImage image = reader.read();
    if (image.isNull())
        throw GameError(QStringLiteral("Bitmap image is not valid"));
    return keyLowerLeft(image);
}

QImage keyLowerLeft(const QImage &source)
{
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    if (image.isNull())
        return image;
    const QRgb key = image.pixel(0, image.height() - 1);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (line[x] == key)
                line[x] = qRgba(0, 0, 0, 0);
    }
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace Pictures
