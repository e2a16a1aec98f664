// The sound switch's bitmap loader on any bytes: a keyed bitmap within the size limit, or
// "Bitmap image is not valid".

#include "formats/GameError.h"
#include "formats/Pictures.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
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
