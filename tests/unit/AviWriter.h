#pragma once

// Writes small AVI clips for the clip player's tests, benchmark and fuzz seeds, byte by byte, in
// every layout the clip player reads: 8-bit palette, 16-bit 5-5-5, 24-bit and 32-bit frames and
// 8-bit run-length frames (the later ones coded as changes to the frame before, but for key
// frames), with or without an index, top-down or bottom-up, alone or after a sound stream, grouped
// in records or not. MJPEG writes the header of a compressed clip (its frames are not real
// pictures): a format the player refuses.

#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QString>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

enum class ClipCodec { Pal8, Rgb555, Bgr24, Bgr32, Rle8, Mjpeg };

struct ClipLayout {
    bool index = true;    // an idx1 index after the movi list
    bool sound = false;   // a sound stream before the video, its chunks between the frames
    bool topDown = false; // rows stored top first (a negative height), for uncompressed frames
    bool absoluteIndex = false; // index offsets from the file's start instead of the movi tag
    bool records = false;       // each frame (and its sound) in a LIST "rec " of its own
    int repeatFrame = -1; // this frame (>0) written as an empty chunk: the one before it again
    int keyEvery = 0;     // run-length: every so many frames a whole picture (else only the first)
};

namespace AviWriter {

// The lower left quarter of every split frame: tells up from down, and is never keyed out.
inline const QColor kFloor(90, 60, 30);

// Frame `index` (0-based) of a clip: the upper left quarter in `background`, the lower left in
// kFloor, the right half in a colour of the frame's own, so that a pixel tells which frame is
// shown.
inline QColor frameColor(int index)
{
    return QColor(40 + (index * 37) % 200, 200 - (index * 23) % 180, 30 + (index * 11) % 90);
}

inline QImage splitFrame(QSize size, const QColor &background, int index)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(background);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            if (x >= size.width() / 2)
                image.setPixel(x, y, frameColor(index).rgb());
            else if (y >= size.height() / 2)
                image.setPixel(x, y, kFloor.rgb());
        }
    }
    return image;
}

namespace detail {

inline void le16(QByteArray &out, int v)
{
    out.append(char(v & 0xff)).append(char((v >> 8) & 0xff));
}

inline void le32(QByteArray &out, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xff));
}

inline QByteArray chunk(const char *id, const QByteArray &data)
{
    QByteArray out(id, 4);
    le32(out, quint32(data.size()));
    out += data;
    if (data.size() & 1)
        out.append('\0');
    return out;
}

inline QByteArray list(const char *type, const QByteArray &data)
{
    return chunk("LIST", QByteArray(type, 4) + data);
}

// One row of 8-bit run-length data: runs of equal indices, strings of three or more different ones
// as literals, and with `previous` only what changed (a move right over what did not).
inline void rleRow(QByteArray &out, const uchar *row, const uchar *previous, int width)
{
    int x = 0;
    while (x < width) {
        if (previous) {
            int same = 0;
            while (x + same < width && row[x + same] == previous[x + same])
                ++same;
            if (x + same == width)
                return;
            while (same > 0) {
                const int step = std::min(same, 255);
                out.append(char(0)).append(char(2)).append(char(step)).append(char(0));
                x += step;
                same -= step;
            }
        }
        int run = 1;
        while (x + run < width && run < 255 && row[x + run] == row[x])
            ++run;
        if (run >= 2 || width - x < 3) {
            out.append(char(run)).append(char(row[x]));
            x += run;
            continue;
        }
        int literal = 1;
        while (x + literal < width && literal < 255 && row[x + literal] != row[x + literal - 1]
               && (x + literal + 1 >= width || row[x + literal] != row[x + literal + 1]))
            ++literal;
        if (literal < 3) {
            out.append(char(1)).append(char(row[x]));
            ++x;
            continue;
        }
        out.append(char(0)).append(char(literal));
        out.append(reinterpret_cast<const char *>(row + x), literal);
        if (literal & 1)
            out.append(char(0));
        x += literal;
    }
}

// A frame as 8-bit run-length data, rows bottom first; unchanged rows are skipped with a move down.
inline QByteArray rleFrame(const std::vector<uchar> &indices, const std::vector<uchar> *previous,
                           QSize size)
{
    QByteArray out;
    int skipped = 0;
    for (int stored = 0; stored < size.height(); ++stored) {
        const int y = size.height() - 1 - stored;
        const uchar *row = indices.data() + size_t(y) * size.width();
        const uchar *before = previous ? previous->data() + size_t(y) * size.width() : nullptr;
        if (before && std::equal(row, row + size.width(), before)) {
            ++skipped;
            continue;
        }
        for (; skipped > 0; skipped -= std::min(skipped, 255))
            out.append(char(0)).append(char(2)).append(char(0)).append(
                char(std::min(skipped, 255)));
        rleRow(out, row, before, size.width());
        out.append(char(0)).append(char(0));
    }
    out.append(char(0)).append(char(1));
    return out;
}

} // namespace detail

// The bytes of a clip of `frames` frames of `frame(i)` (pictures of `size`) at `fps`.
inline QByteArray bytes(QSize size, int fps, int frames, ClipCodec codec,
                        const std::function<QImage(int)> &frame, ClipLayout layout = {})
{
    using namespace detail;
    const bool indexed = codec == ClipCodec::Pal8 || codec == ClipCodec::Rle8;
    const int bits = indexed         ? 8
        : codec == ClipCodec::Rgb555 ? 16
        : codec == ClipCodec::Bgr32  ? 32
                                     : 24;
    const int stride = (size.width() * bits + 31) / 32 * 4;

    std::vector<QImage> images;
    QHash<QRgb, int> paletteIndex;
    std::vector<quint32> palette(256, 0);
    for (int i = 0; i < frames; ++i) {
        images.push_back(frame(i).convertToFormat(QImage::Format_RGB32));
        for (int y = 0; indexed && y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                const QRgb pixel = images.back().pixel(x, y) & 0xffffffu;
                if (!paletteIndex.contains(pixel) && paletteIndex.size() < 256) {
                    palette[size_t(paletteIndex.size())] = pixel;
                    paletteIndex.insert(pixel, int(paletteIndex.size()));
                }
            }
        }
    }

    // The frames' data.
    std::vector<QByteArray> data;
    std::vector<uchar> previous;
    for (int i = 0; i < frames; ++i) {
        const QImage &image = images[size_t(i)];
        QByteArray out;
        if (codec == ClipCodec::Mjpeg) {
            out = QByteArray("\xff\xd8\xff\xe0 not a real picture \xff\xd9");
        } else if (codec == ClipCodec::Rle8) {
            std::vector<uchar> indices(size_t(size.width()) * size.height());
            for (int y = 0; y < size.height(); ++y)
                for (int x = 0; x < size.width(); ++x)
                    indices[size_t(y) * size.width() + x] =
                        uchar(paletteIndex.value(image.pixel(x, y) & 0xffffffu));
            const bool key = i == 0 || (layout.keyEvery > 0 && i % layout.keyEvery == 0);
            out = rleFrame(indices, key ? nullptr : &previous, size);
            previous = std::move(indices);
        } else {
            out = QByteArray(stride * size.height(), '\0');
            for (int y = 0; y < size.height(); ++y) {
                char *row = out.data() + stride * (layout.topDown ? y : size.height() - 1 - y);
                for (int x = 0; x < size.width(); ++x) {
                    const QRgb p = image.pixel(x, y);
                    switch (bits) {
                    case 8:
                        row[x] = char(paletteIndex.value(p & 0xffffffu));
                        break;
                    case 16: {
                        const int v = (qRed(p) >> 3) << 10 | (qGreen(p) >> 3) << 5 | qBlue(p) >> 3;
                        row[2 * x] = char(v & 0xff);
                        row[2 * x + 1] = char(v >> 8);
                        break;
                    }
                    default:
                        row[x * bits / 8] = char(qBlue(p));
                        row[x * bits / 8 + 1] = char(qGreen(p));
                        row[x * bits / 8 + 2] = char(qRed(p));
                    }
                }
            }
        }
        data.push_back(out);
    }

    const int video = layout.sound ? 1 : 0;
    const QByteArray frameId =
        QString("%1%2")
            .arg(video, 2, 10, QChar('0'))
            .arg(codec == ClipCodec::Rle8 || codec == ClipCodec::Mjpeg ? "dc" : "db")
            .toLatin1();
    const char *soundId = "00wb";

    // Header list: main header, then one stream list per stream.
    QByteArray avih;
    le32(avih, quint32(1000000 / fps));
    le32(avih, 0);
    le32(avih, 0);
    le32(avih, layout.index ? 0x10 : 0);
    le32(avih, quint32(frames));
    le32(avih, 0);
    le32(avih, layout.sound ? 2 : 1);
    le32(avih, quint32(stride * size.height()));
    le32(avih, quint32(size.width()));
    le32(avih, quint32(size.height()));
    for (int i = 0; i < 4; ++i)
        le32(avih, 0);

    const auto streamHeader = [&](const char *type, const char *handler, quint32 scale,
                                  quint32 rate, quint32 length) {
        QByteArray strh(type, 4);
        strh += QByteArray(handler, 4);
        le32(strh, 0); // flags
        le32(strh, 0); // priority, language
        le32(strh, 0); // initial frames
        le32(strh, scale);
        le32(strh, rate);
        le32(strh, 0); // start
        le32(strh, length);
        le32(strh, 0);          // suggested buffer
        le32(strh, 0xffffffff); // quality
        le32(strh, 0);          // sample size
        for (int i = 0; i < 4; ++i)
            le16(strh, 0);
        return chunk("strh", strh);
    };

    QByteArray strf;
    le32(strf, 40);
    le32(strf, quint32(size.width()));
    le32(strf,
         quint32(layout.topDown && codec != ClipCodec::Rle8 ? -size.height() : size.height()));
    le16(strf, 1);
    le16(strf, bits);
    le32(strf,
         codec == ClipCodec::Rle8        ? 1
             : codec == ClipCodec::Mjpeg ? 0x47504a4d /* MJPG */
                                         : 0);
    le32(strf, quint32(stride * size.height()));
    le32(strf, 0);
    le32(strf, 0);
    le32(strf, indexed ? 256 : 0);
    le32(strf, 0);
    for (int i = 0; indexed && i < 256; ++i)
        le32(strf, palette[size_t(i)]);

    const char *handler = codec == ClipCodec::Rle8 ? "mrle"
        : codec == ClipCodec::Mjpeg                ? "MJPG"
                                                   : "DIB ";
    QByteArray videoList =
        list("strl",
             streamHeader("vids", handler, 1, quint32(fps), quint32(frames)) + chunk("strf", strf));
    QByteArray soundList;
    if (layout.sound) {
        QByteArray wave;
        le16(wave, 1);    // PCM
        le16(wave, 1);    // mono
        le32(wave, 8000); // samples a second
        le32(wave, 8000); // bytes a second
        le16(wave, 1);    // block
        le16(wave, 8);    // bits
        le16(wave, 0);
        soundList = list("strl",
                         streamHeader("auds", "\0\0\0\0", 1, 8000, quint32(frames * 8000 / fps))
                             + chunk("strf", wave));
    }
    const QByteArray hdrl = list("hdrl", chunk("avih", avih) + soundList + videoList);

    // The frames, a short sound chunk before each when there is sound, and the index.
    QByteArray movi;
    QByteArray idx1;
    // Where the movi tag will lie: after "RIFF", its size, "AVI ", the header list and "LIST", its
    // size.
    const quint32 moviTag = 12 + quint32(hdrl.size()) + 8;
    QByteArray record;
    // Index entries flag key frames: every frame but the run-length ones coded as changes.
    const auto add = [&](const QByteArray &id, const QByteArray &payload, bool key) {
        QByteArray &into = layout.records ? record : movi;
        const quint32 at =
            4 + quint32(movi.size()) + (layout.records ? 12 + quint32(into.size()) : 0);
        idx1 += id;
        le32(idx1, key ? 0x10 : 0);
        le32(idx1, layout.absoluteIndex ? moviTag + at : at);
        le32(idx1, quint32(payload.size()));
        into += chunk(id.constData(), payload);
    };
    for (int i = 0; i < frames; ++i) {
        if (layout.sound)
            add(soundId, QByteArray(8000 / fps, char(0x80)), true);
        const bool key =
            codec != ClipCodec::Rle8 || i == 0 || (layout.keyEvery > 0 && i % layout.keyEvery == 0);
        add(frameId, i == layout.repeatFrame ? QByteArray() : data[size_t(i)], key);
        if (layout.records) {
            movi += list("rec ", record);
            record.clear();
        }
    }

    QByteArray body = QByteArray("AVI ") + hdrl + list("movi", movi);
    if (layout.index)
        body += chunk("idx1", idx1);
    return chunk("RIFF", body);
}

// `clip` (written without an index) with `count` empty chunks of another stream ("01wb", eight
// bytes each) in its movi list, before its frames or, with `afterFrames`, after them; or, with
// `inHeader`, in its header list. Its main header then counts no frames, so that a reader walks
// the whole list.
inline QByteArray withEmptyChunks(QByteArray clip, int count, bool afterFrames = false,
                                  bool inHeader = false)
{
    const QByteArray junk = QByteArray("01wb\0\0\0\0", 8).repeated(count);
    const qsizetype list = clip.indexOf(inHeader ? "hdrl" : "movi");
    const auto grow = [&clip, &junk](qsizetype sizeAt) {
        quint32 size = 0;
        memcpy(&size, clip.constData() + sizeAt, 4);
        size += quint32(junk.size());
        memcpy(clip.data() + sizeAt, &size, 4);
    };
    grow(4);
    grow(list - 4);
    memset(clip.data() + clip.indexOf("avih") + 8 + 16, 0, 4);
    clip.insert(afterFrames && !inHeader ? clip.size() : list + 4, junk);
    return clip;
}

// Writes `bytes(...)` to `path`. False when the file cannot be written.
inline bool write(const QString &path, QSize size, int fps, int frames, ClipCodec codec,
                  const std::function<QImage(int)> &frame, ClipLayout layout = {})
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray content = bytes(size, fps, frames, codec, frame, layout);
    return file.write(content) == content.size();
}

// A clip of `frames` split frames (see splitFrame).
inline bool writeSplit(const QString &path, QSize size, int fps, int frames, ClipCodec codec,
                       const QColor &background, ClipLayout layout = {})
{
    return write(
        path, size, fps, frames, codec, [&](int i) { return splitFrame(size, background, i); },
        layout);
}

} // namespace AviWriter
