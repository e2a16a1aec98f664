// The clip reader on any bytes: opening never fails unsafely, and every frame it gives has the
// clip's size, within the reader's bounds, the same each time it is asked for.

#include "formats/AviDecoder.h"

#include <QBuffer>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(reinterpret_cast<const char *>(data), qsizetype(size));
    buffer->open(QIODevice::ReadOnly);
    AviDecoder decoder;
    if (!decoder.open(std::move(buffer)))
        return 0;

    const QSize frameSize = decoder.header().frameSize;
    if (frameSize.isEmpty() || frameSize.width() > AviDecoder::kMaxSide
        || frameSize.height() > AviDecoder::kMaxSide || decoder.firstFrame().size() != frameSize
        || decoder.framesInFile() < 1 || decoder.frameDurationUs() <= 0)
        std::abort();
    // A few frames in order, then the first again: run-length frames start over from it.
    const int frames = std::min(decoder.framesInFile(), 16);
    for (int i = 0; i < frames; ++i) {
        const QImage frame = decoder.frame(i);
        if (!frame.isNull() && frame.size() != frameSize)
            std::abort();
    }
    if (decoder.frame(0) != decoder.firstFrame())
        std::abort();
    return 0;
}
