#include "toolkit/JpegDecoder.h"

#include "toolkit/GameError.h"

#include <QFile>

#include <vector>

#include <jpeglib.h>

namespace {

// A picture larger than this (as RGB32) is refused before anything is allocated for it; libjpeg
// accepts sides up to 65500 pixels, which a 32-bit picture of that size would need 16 GiB for.
constexpr qint64 kMaxImageBytes = qint64(1) << 30;
// libjpeg's own working memory (whole-picture coefficient buffers of progressive files).
constexpr long kMaxDecoderMemory = 1L << 30;

// libjpeg reports a fatal error through error_exit, which must not return. It is turned into the
// game's error here and unwinds through libjpeg's frames (built with unwind tables on this
// platform) to decode(), whose guard releases the decoder.
[[noreturn]] void errorExit(j_common_ptr cinfo)
{
    throw GameError(QString("JPEG error #%1").arg(cinfo->err->msg_code));
}

// Warnings (a stream that ends early, stray bytes between markers) are not the player's concern.
void silentMessage(j_common_ptr) {}

struct Decompressor {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};

    Decompressor()
    {
        info.err = jpeg_std_error(&errors);
        errors.error_exit = errorExit;
        errors.output_message = silentMessage;
        jpeg_create_decompress(&info);
    }
    ~Decompressor() { jpeg_destroy_decompress(&info); }
    Decompressor(const Decompressor &) = delete;
    Decompressor &operator=(const Decompressor &) = delete;
};

} // namespace

QImage JpegDecoder::decode(const QByteArray &bytes)
{
    Decompressor d;
    jpeg_decompress_struct &info = d.info;
    info.mem->max_memory_to_use = kMaxDecoderMemory;

    // An empty buffer is refused by libjpeg itself with its "empty input" error.
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char *>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);

    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;

    if (qint64(info.image_width) * qint64(info.image_height) * 4 > kMaxImageBytes)
        throw GameError("Out of memory");
    jpeg_start_decompress(&info);

    const int width = static_cast<int>(info.output_width);
    const int height = static_cast<int>(info.output_height);
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        throw GameError("Out of memory");

    // Adobe's CMYK files store the inks inverted (0 is full ink).
    const bool inverted = info.saw_Adobe_marker;
    std::vector<JSAMPLE> row(static_cast<size_t>(width) * info.output_components);
    JSAMPROW rows[1] = {row.data()};
    while (info.output_scanline < info.output_height) {
        const int y = static_cast<int>(info.output_scanline);
        jpeg_read_scanlines(&info, rows, 1);
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        const JSAMPLE *in = row.data();
        if (!cmyk) {
            for (int x = 0; x < width; ++x, in += 3)
                out[x] = qRgb(in[0], in[1], in[2]);
            continue;
        }
        for (int x = 0; x < width; ++x, in += 4) {
            int c = in[0], m = in[1], yellow = in[2], k = in[3];
            if (!inverted) {
                c = 255 - c;
                m = 255 - m;
                yellow = 255 - yellow;
                k = 255 - k;
            }
            out[x] = qRgb(c * k / 255, m * k / 255, yellow * k / 255);
        }
    }
    // Everything is decoded; what follows the last scan cannot change the picture, so the stream is
    // not read to its end (jpeg_finish_decompress) and trailing damage raises no error.
    return image;
}

QImage JpegDecoder::decodeFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw GameError(QString("Cannot open file \"%1\"").arg(path));
    return decode(file.readAll());
}
