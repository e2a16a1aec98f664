// Writes the fuzz targets' seed inputs: clips in every layout the reader takes, small JPEG, icon,
// bitmap and score files of every kind the game meets, and the game's own files from base/ (music
// included) and the built-in pictures. Usage: make_seeds <output directory> <source tree>

#include "JpegWriter.h"
#include "unit/AviWriter.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace {

QDir g_out;

void put(const QString &target, const QString &name, const QByteArray &bytes)
{
    g_out.mkpath(target);
    QFile file(g_out.filePath(target + '/' + name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        std::exit(1);
    }
}

void copy(const QString &target, const QString &path, qint64 keep = -1)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return; // base/ may lack a file: seeds are what there is
    put(target, "game_" + QFileInfo(path).fileName(), keep < 0 ? file.readAll() : file.read(keep));
}

// A JPEG written by libjpeg itself: colour or grey, baseline or progressive, with restart markers.
QByteArray jpeg(int width, int height, int components, bool progressive, int restart = 0)
{
    return writeJpeg({width, height, components, progressive, 75, restart},
                     [](std::vector<JSAMPLE> &row, unsigned y) {
                         for (size_t i = 0; i < row.size(); ++i)
                             row[i] = JSAMPLE((i * 7 + y * 13) & 0xff);
                     });
}

// `bytes` with the frame header's height and width set to `side` (a small file claiming a huge
// picture).
QByteArray claimSide(QByteArray bytes, int side)
{
    for (const char *marker : {"\xff\xc0", "\xff\xc2"}) {
        const qsizetype at = bytes.indexOf(marker);
        if (at >= 0) {
            bytes[at + 5] = char(side >> 8);
            bytes[at + 6] = char(side);
            bytes[at + 7] = char(side >> 8);
            bytes[at + 8] = char(side);
        }
    }
    return bytes;
}

QByteArray saved(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_seeds <output directory> <source tree>\n");
        return 2;
    }
    g_out = QDir(QString::fromLocal8Bit(argv[1]));
    const QDir source(QString::fromLocal8Bit(argv[2]));

    // Clips: small, in every coding and layout, and the head of a game clip (its first frames).
    const QColor background(210, 238, 154);
    struct Variant {
        const char *name;
        ClipCodec codec;
        ClipLayout layout;
    };
    const Variant variants[] = {
        {"pal8", ClipCodec::Pal8, {}},
        {"pal8_topdown_noindex", ClipCodec::Pal8, {.index = false, .topDown = true}},
        {"rgb555", ClipCodec::Rgb555, {}},
        {"bgr24_sound", ClipCodec::Bgr24, {.sound = true}},
        {"bgr32", ClipCodec::Bgr32, {.index = false}},
        {"rle8", ClipCodec::Rle8, {}},
        {"rle8_sound_noindex", ClipCodec::Rle8, {.index = false, .sound = true}},
    };
    for (const Variant &v : variants) {
        const QSize size(9, 6);
        put("AviDecoder", QString(v.name) + ".avi",
            AviWriter::bytes(
                size, 10, 3, v.codec,
                [&](int i) { return AviWriter::splitFrame(size, background, i); }, v.layout));
    }
    copy("AviDecoder", source.filePath("base/video/pemik.avi"), 48 * 1024);
    // Empty chunks of another stream before the frames: the walk over chunk headers.
    put("AviDecoder", "pal8_empty_chunks.avi",
        AviWriter::withEmptyChunks(AviWriter::bytes(QSize(9, 6), 10, 3, ClipCodec::Pal8,
                                                    [&](int i) {
                                                        return AviWriter::splitFrame(QSize(9, 6),
                                                                                     background, i);
                                                    },
                                                    {.index = false}),
                                   512));

    // Backgrounds.
    put("JpegDecoder", "colour.jpg", jpeg(24, 16, 3, false));
    put("JpegDecoder", "grey.jpg", jpeg(16, 8, 1, false));
    put("JpegDecoder", "progressive.jpg", jpeg(24, 16, 3, true));
    put("JpegDecoder", "cmyk.jpg", jpeg(16, 16, 4, false));
    put("JpegDecoder", "restart.jpg", jpeg(32, 32, 3, false, 1));
    put("JpegDecoder", "claims_16383.jpg", claimSide(jpeg(16, 16, 3, false), 16383));
    put("JpegDecoder", "progressive_claims_16383.jpg", claimSide(jpeg(16, 16, 3, true), 16383));
    copy("JpegDecoder", source.filePath("base/image/fon.jpg"));
    copy("JpegDecoder", source.filePath("src/resources/builtin_fon.jpg"));

    // Icons and bitmaps.
    QImage picture(16, 16, QImage::Format_ARGB32);
    picture.fill(qRgba(200, 40, 40, 255));
    for (int i = 0; i < 16; ++i)
        picture.setPixel(i, i, qRgba(0, 0, 0, 0));
    put("Pictures_icon", "small.ico", saved(picture, "ico"));
    const QStringList icons = QDir(source.filePath("base/image/Ico")).entryList({"*.ico"});
    for (const QString &icon : icons)
        copy("Pictures_icon", source.filePath("base/image/Ico/" + icon));
    copy("Pictures_icon", source.filePath("src/resources/builtin_sheet.ico"));
    for (const auto &[name, format] : {std::pair{"mono", QImage::Format_Mono},
                                       {"indexed", QImage::Format_Indexed8},
                                       {"rgb", QImage::Format_RGB32},
                                       {"argb", QImage::Format_ARGB32}})
        put("Pictures_bitmap", QString(name) + ".bmp",
            saved(picture.convertToFormat(format), "bmp"));
    for (const QString &bitmap : QDir(source.filePath("base/image/Ico")).entryList({"*.bmp"}))
        copy("Pictures_bitmap", source.filePath("base/image/Ico/" + bitmap));
    copy("Pictures_bitmap", source.filePath("src/resources/builtin_ns.bmp"));

    // Music: the game's own pieces, the MP3 ones cut to their first 60 KB (the check reads no
    // more).
    for (const char *piece : {"base/sound/pms.mp3", "base/sound/pms2.mp3"})
        copy("MusicFileCheck", source.filePath(piece), 60 * 1024);
    for (const char *piece : {"base/soundLite/pms.mid", "base/soundLite/pms1.mid"})
        copy("MusicFileCheck", source.filePath(piece));

    // Score files: CR LF, lone LF and CR, a zero byte, the code page's letters.
    put("ScoreText", "crlf.inf", "--------------------\r\nPlayer 87% 4\r\n");
    put("ScoreText", "mixed.inf", "a\nb\rc\r\n\r\rd\n\n");
    put("ScoreText", "zero.inf", QByteArray("before\r\n\0after\r\n", 17));
    put("ScoreText", "cp1251.inf", "\xc8\xe2\xe0\xed 100% 5\r\n\x98\xff\xa8\xb8");
    copy("ScoreText", source.filePath("base/data/score.inf"));
    return 0;
}
