// The icon loader on any bytes: an icon within the size limit, or "Icon image is not valid".

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
        const QImage image = Pictures::loadIcon(&buffer);
        if (image.isNull() || image.sizeInBytes() > (qint64(16) << 20))
            std::abort();
    } catch (const GameError &error) {
        if (error.text() != QLatin1String("Icon image is not valid"))
            std::abort();
    }
    return 0;
}
