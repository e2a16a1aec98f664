#include "formats/Pictures.h"

#include "formats/GameError.h"

#include <QImageReader>

namespace Pictures {

namespace {

// What a reader may allocate for one picture. The game's icons and bitmaps are 32 x 32; Qt's own
// default (128 MB) would let a file of a few bytes claim far more than the game may use.
constexpr int kMaxPictureMegabytes = 16;

// Whether the reader's next image, by its header, fits the limit. A header that gives no size is
// left to the reader, which allocates through the same limit.
bool fits(const QImageReader &reader)
{
    const QSize size = reader.size();
    return !size.isValid()
        || qint64(size.width()) * size.height() * 4 <= qint64(kMaxPictureMegabytes) << 20;
}

QImage readIcon(QImageReader &reader)
{
    reader.setDecideFormatFromContent(false);
    reader.setAllocationLimit(kMaxPictureMegabytes);
    // The largest image of the icon is the one drawn at 32 x 32: the widest by the icon's
    // directory, the first of equals. Only that one is decoded; a file of a few KB may list
    // thousands of entries that all point to one large picture. The directory ends at the first
    // entry that cannot be read, where the data ends: a count in the header of up to 65,535 entries
    // is not taken at its word (each entry past the end would be one more failed seek).
    int best = -1;
    int bestWidth = 0;
    for (int index = 0; reader.jumpToImage(index); ++index) {
        const QSize size = reader.size();
        if (!size.isValid())
            break;
        if (size.width() > bestWidth) {
            best = index;
            bestWidth = size.width();
        }
    }
    QImage image;
    if (best >= 0 && reader.jumpToImage(best) && fits(reader))
        image = reader.read();
    if (image.isNull())
        throw GameError(QStringLiteral("Icon image is not valid"));
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage readBitmap(QImageReader &reader)
{
    reader.setAllocationLimit(kMaxPictureMegabytes);
    const QImage image = fits(reader) ? reader.read() : QImage();
    if (image.isNull())
        throw GameError(QStringLiteral("Bitmap image is not valid"));
    return keyLowerLeft(image);
}

} // namespace

QImage loadIcon(const QString &path)
{
    QImageReader reader(path, "ico");
    return readIcon(reader);
}

QImage loadIcon(QIODevice *device)
{
    QImageReader reader(device, "ico");
    return readIcon(reader);
}

QImage loadTransparentBitmap(const QString &path)
{
    QImageReader reader(path, "bmp");
    return readBitmap(reader);
}

QImage loadTransparentBitmap(QIODevice *device)
{
    QImageReader reader(device, "bmp");
    return readBitmap(reader);
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
