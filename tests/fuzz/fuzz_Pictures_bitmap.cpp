// The sound switch's bitmap loader on any bytes: a keyed bitmap within the size limit, or
// "Bitmap image is not valid"; and the built-in pictures' decoder: an indexed image or none.

#include "formats/GameError.h"
#include "formats/Pictures.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QImage indexed = Pictures::decodeIndexedBitmap(
        QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!indexed.isNull() && indexed.format() != QImage::Format_Indexed8)
        std::abort();
    QBuffer buffer;
    buffer.setData(reinterpret_cast<const char *>(data), qsizetype(size));
    buffer.open(QIODevice::ReadOnly);
    try {
        const QImage image = Pictures::loadTransparentBitmap(&buffer);
        if (image.isNull() || image.sizeInBytes() > (qint64(16) << 20)
            || qAlpha(image.pixel(0, image.height() - 1)) != 0)
            std::abort();
    } catch (const GameError &error) {
        if (error.text() != QLatin1String("Bitmap image is not valid"))
            std::abort();
    }
    return 0;
}
