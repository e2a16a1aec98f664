// The background decoder as the game calls it, for the picture area: any bytes give a picture no
// larger than that area, or the game's "JPEG error #n" (or "Out of memory"), and nothing else.

#include "formats/GameError.h"
#include "formats/JpegDecoder.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QSize area(688, 368);
    try {
        const QImage image = JpegDecoder::decode(
            QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), area);
        if (image.width() > area.width() || image.height() > area.height())
            std::abort();
    } catch (const GameError &error) {
        if (!error.text().startsWith(QLatin1String("JPEG error #"))
            && error.text() != QLatin1String("Out of memory"))
            std::abort();
    }
    return 0;
}
