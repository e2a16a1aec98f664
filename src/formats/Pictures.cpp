#include "formats/Pictures.h"

#include "formats/GameError.h"

#include <QImageReader>
#include <QtEndian>

#include <cstdlib>
#include <cstring>

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
    // thousands of entries that all point to one large picture.
    int best = -1;
    int bestWidth = 0;
    for (int index = 0; reader.jumpToImage(index); ++index) {
        const QSize size = reader.size();
        if (size.isValid() && size.width() > bestWidth) {
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

QImage decodeIndexedBitmap(QByteArrayView bytes)
{
    // The file header (14 bytes) and the info header (at least 40).
    constexpr qsizetype kFileHeader = 14;
    constexpr qsizetype kInfoHeader = 40;
    constexpr int kLargest = 1024;
    if (bytes.size() < kFileHeader + kInfoHeader || bytes[0] != 'B' || bytes[1] != 'M')
        return {};
    const auto *data = reinterpret_cast<const uchar *>(bytes.data());
    const quint32 pixelsAt = qFromLittleEndian<quint32>(data + 10);
    const quint32 infoSize = qFromLittleEndian<quint32>(data + 14);
    const qint32 width = qFromLittleEndian<qint32>(data + 18);
    const qint32 height = qFromLittleEndian<qint32>(data + 22); // negative: top row first
    const quint16 planes = qFromLittleEndian<quint16>(data + 26);
    const quint16 bits = qFromLittleEndian<quint16>(data + 28);
    const quint32 compression = qFromLittleEndian<quint32>(data + 30);
    const quint32 colours = qFromLittleEndian<quint32>(data + 46);
    const int rows = std::abs(height);
    const qsizetype colourCount = colours == 0 ? 256 : colours;
    if (infoSize < kInfoHeader || infoSize > quint32(bytes.size()) || planes != 1 || bits != 8
        || compression != 0 || width <= 0 || width > kLargest || rows == 0 || rows > kLargest
        || colourCount > 256)
        return {};
    const qsizetype paletteAt = kFileHeader + qsizetype(infoSize);
    const qsizetype stride = (qsizetype(width) + 3) & ~qsizetype(3);
    if (paletteAt + colourCount * 4 > bytes.size() || pixelsAt > quint32(bytes.size())
        || qsizetype(pixelsAt) + stride * rows > bytes.size())
        return {};

    QList<QRgb> palette(colourCount);
    for (qsizetype i = 0; i < colourCount; ++i) {
        const uchar *entry = data + paletteAt + 4 * i; // blue, green, red, unused
        palette[i] = qRgb(entry[2], entry[1], entry[0]);
    }
    QImage image(width, rows, QImage::Format_Indexed8);
    image.setColorTable(palette);
    for (int y = 0; y < rows; ++y) {
        const uchar *row = data + pixelsAt + stride * (height > 0 ? rows - 1 - y : y);
        for (int x = 0; x < width; ++x) {
            if (row[x] >= colourCount)
                return {};
        }
        std::memcpy(image.scanLine(y), row, size_t(width));
    }
    return image;
}

} // namespace Pictures
