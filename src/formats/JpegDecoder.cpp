#include "formats/JpegDecoder.h"

#include "formats/GameError.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace {

// A picture decoded whole that is larger than this (as RGB32) is refused before anything is
// allocated for it; libjpeg accepts sides up to 65500 pixels, which would need 16 GiB.
constexpr qint64 kMaxImageBytes = qint64(1) << 30;
// libjpeg's own working memory (whole-picture coefficient buffers of progressive files): room for a
// progressive picture of some 4000 x 4000 pixels, a hundred times the background's.
constexpr long kMaxDecoderMemory = 64L << 20;

// A progressive picture arrives in scans, each one a pass over the picture's blocks (or over one
// colour's). libjpeg's own encoder writes ten and other encoders a few dozen at most; a small file
// that repeats a scan thousands of times would keep the game busy for minutes. A picture with more
// scans, or whose scans together visit more blocks than the budget, is refused with libjpeg's
// number for a progression it does not accept. The budget lets the largest progressive picture that
// the memory cap above allows (4000 x 4000 and more) decode with the usual scans, in well under a
// second.
constexpr int kMaxScans = 100;
constexpr qint64 kMaxScanBlocks = 3'000'000;

// libjpeg reports a fatal error through error_exit, which must not return. It is turned into the
// game's error here and unwinds through libjpeg's frames (built with unwind tables on this
// platform) to decode(), whose guard releases the decoder.
[[noreturn]] void errorExit(j_common_ptr cinfo)
{
    throw GameError(QString("JPEG error #%1").arg(cinfo->err->msg_code));
}

// Warnings (a stream that ends early, stray bytes between markers) are not the player's concern.
void silentMessage(j_common_ptr) {}

// Counts the scans and the blocks they visit; libjpeg calls it as it reads the picture, at least
// once in every scan, after the scan's header.
struct ScanLimit : jpeg_progress_mgr {
    int scan = 0;
    qint64 blocks = 0;
};

void limitScans(j_common_ptr cinfo)
{
    if (!cinfo->is_decompressor)
        return;
    const auto *info = reinterpret_cast<j_decompress_ptr>(cinfo);
    auto *limit = static_cast<ScanLimit *>(cinfo->progress);
    if (info->input_scan_number == limit->scan)
        return;
    limit->scan = info->input_scan_number;
    for (int i = 0; i < info->comps_in_scan; ++i)
        limit->blocks += qint64(info->cur_comp_info[i]->width_in_blocks)
            * info->cur_comp_info[i]->height_in_blocks;
    // A picture of one scan is read row by row, only as far as it is drawn: no budget for it.
    const bool wholePicture = info->progressive_mode || limit->scan > 1;
    if (limit->scan > kMaxScans || (wholePicture && limit->blocks > kMaxScanBlocks)) {
        cinfo->err->msg_code = JERR_BAD_PROGRESSION;
        errorExit(cinfo);
    }
}

struct Decompressor {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    ScanLimit progress;

    Decompressor()
    {
        info.err = jpeg_std_error(&errors);
        errors.error_exit = errorExit;
        errors.output_message = silentMessage;
        jpeg_create_decompress(&info);
        progress.progress_monitor = limitScans;
        progress.pass_counter = progress.pass_limit = 0;
        progress.completed_passes = progress.total_passes = 0;
        info.progress = &progress;
    }
    ~Decompressor() { jpeg_destroy_decompress(&info); }
    Decompressor(const Decompressor &) = delete;
    Decompressor &operator=(const Decompressor &) = delete;
};

} // namespace

namespace {

// Decodes from whatever source `attach` gives the decompressor.
QImage decodeWith(const std::function<void(jpeg_decompress_struct &)> &attach, QSize visible)
{
    Decompressor d;
    jpeg_decompress_struct &info = d.info;
    info.mem->max_memory_to_use = kMaxDecoderMemory;
    attach(info);
    jpeg_read_header(&info, TRUE);

    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;

    const bool cropped = visible.isValid();
    if (!cropped && qint64(info.image_width) * qint64(info.image_height) * 4 > kMaxImageBytes)
        throw GameError("Out of memory");
    jpeg_start_decompress(&info);

    int width = static_cast<int>(info.output_width);
    int height = static_cast<int>(info.output_height);
    if (cropped) {
        width = std::min(width, visible.width());
        height = std::min(height, visible.height());
        if (width <= 0 || height <= 0)
            return QImage();
        if (JDIMENSION(width) < info.output_width) {
            // Only the columns drawn are decoded; libjpeg widens the range to whole blocks.
            JDIMENSION left = 0, columns = JDIMENSION(width);
            jpeg_crop_scanline(&info, &left, &columns);
        }
    }
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull())
        throw GameError("Out of memory");

    // Adobe's CMYK files store the inks inverted (0 is full ink).
    const bool inverted = info.saw_Adobe_marker;
    std::vector<JSAMPLE> row(static_cast<size_t>(info.output_width) * info.output_components);
    JSAMPROW rows[1] = {row.data()};
    while (int(info.output_scanline) < height) {
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
    // Everything shown is decoded; what follows cannot change it, so the stream is not read to its
    // end (jpeg_finish_decompress) and trailing damage raises no error.
    return image;
}

} // namespace

QImage JpegDecoder::decode(const QByteArray &bytes, QSize visible)
{
    // An empty buffer is refused by libjpeg itself with its "empty input" error.
    return decodeWith(
        [&bytes](jpeg_decompress_struct &info) {
            jpeg_mem_src(&info, reinterpret_cast<const unsigned char *>(bytes.constData()),
                         static_cast<unsigned long>(bytes.size()));
        },
        visible);
}

QImage JpegDecoder::decodeFile(const QString &path, QSize visible)
{
    const auto cannotOpen = [&path] {
        return GameError(QString("Cannot open file \"%1\"").arg(path));
    };
    if (!QFileInfo(path).isFile())
        throw cannotOpen();
    std::FILE *file = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!file)
        throw cannotOpen();
    const std::unique_ptr<std::FILE, int (*)(std::FILE *)> closer(file, std::fclose);
    return decodeWith([file](jpeg_decompress_struct &info) { jpeg_stdio_src(&info, file); },
                      visible);
}
