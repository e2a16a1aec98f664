#pragma once

// Small game files made to cost the game as much time or memory as their format allows: for the
// bound tables of the tests and for bench/make_hostile, which writes them for the real game.

#include "JpegWriter.h"
#include "unit/AviWriter.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <sys/resource.h>

namespace HostileFiles {

// The process's peak resident memory so far, in MB: what a bound table compares before and after.
inline qint64 peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

inline void be32(QByteArray &out, quint32 v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char(v >> shift));
}

// A progressive JPEG of `width` x `height`: flat squares, so that its last scan is small.
inline QByteArray progressiveJpeg(int width, int height)
{
    return writeJpeg({.width = width, .height = height, .progressive = true, .quality = 90},
                     [](std::vector<JSAMPLE> &row, unsigned y) {
                         for (size_t i = 0; i < row.size(); ++i)
                             row[i] = JSAMPLE((i / 3 / 16 + y / 16) * 5 + (i % 3) * 40);
                     });
}

// `jpeg` with its last scan (and the tables just before it) written `times` times over; empty when
// `jpeg` holds no scan.
inline QByteArray repeatLastScan(const QByteArray &jpeg, int times)
{
    // Marker segments from the start of image; a scan's data runs to the next marker that is not a
    // stuffed byte or a restart.
    qsizetype lastScanStart = -1, tablesStart = -1, end = -1;
    for (qsizetype at = 2; at + 2 <= jpeg.size();) {
        const uchar marker = uchar(jpeg[at + 1]);
        if (marker == 0xd9 || at + 4 > jpeg.size()) {
            end = at;
            break;
        }
        const qsizetype length = (uchar(jpeg[at + 2]) << 8) | uchar(jpeg[at + 3]);
        qsizetype next = at + 2 + length;
        if (marker == 0xda) {
            while (next + 1 < jpeg.size()
                   && !(uchar(jpeg[next]) == 0xff && uchar(jpeg[next + 1]) != 0
                        && (uchar(jpeg[next + 1]) & 0xf8) != 0xd0))
                ++next;
            lastScanStart = tablesStart >= 0 ? tablesStart : at;
            tablesStart = -1;
        } else if (marker == 0xc4 && tablesStart < 0) {
            tablesStart = at;
        }
        at = next;
    }
    if (lastScanStart < 0 || end < 0)
        return {};
    const QByteArray scan = jpeg.mid(lastScanStart, end - lastScanStart);
    return jpeg.left(end) + scan.repeated(times - 1) + jpeg.mid(end);
}

// An icon of `entries` directory entries that all point to one `side` x `side` PNG.
inline QByteArray manyEntryIcon(int entries, int side)
{
    QImage picture(side, side, QImage::Format_ARGB32);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            picture.setPixel(x, y, qRgba(x & 0xff, y & 0xff, (x + y) & 0xff, 255));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");

    QByteArray icon;
    AviWriter::detail::le16(icon, 0);
    AviWriter::detail::le16(icon, 1);
    AviWriter::detail::le16(icon, entries);
    const quint32 offset = 6 + 16 * quint32(entries);
    for (int i = 0; i < entries; ++i) {
        icon.append(4, '\0'); // 256 x 256, no palette
        AviWriter::detail::le16(icon, 1);
        AviWriter::detail::le16(icon, 32);
        AviWriter::detail::le32(icon, quint32(png.size()));
        AviWriter::detail::le32(icon, offset);
    }
    return icon + png;
}

// A run-length clip of `side` x `side` at `fps` whose index lists its one chunk `entries` times,
// none marked as a key frame. The chunk codes every pixel as a run of one, the most work a chunk of
// its size can ask for.
inline QByteArray catchUpClip(int side, int fps, int entries)
{
    using namespace AviWriter::detail;
    const QByteArray oneFrame = AviWriter::bytes(QSize(side, side), fps, 1, ClipCodec::Rle8,
                                                 [side](int) {
                                                     QImage image(side, side, QImage::Format_RGB32);
                                                     image.fill(Qt::white);
                                                     image.setPixel(1, 1, qRgb(0, 0, 0));
                                                     return image;
                                                 },
                                                 {.index = false});
    QByteArray data;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x)
            data.append(char(1)).append(char((x ^ y) & 1));
        data.append(char(0)).append(char(0));
    }
    data.append(char(0)).append(char(1));

    QByteArray index;
    for (int i = 0; i < entries; ++i) {
        index += "00dc";
        le32(index, 0); // not a key frame
        le32(index, 4);
        le32(index, quint32(data.size()));
    }
    const qsizetype movi = oneFrame.indexOf("movi") - 8;
    QByteArray body =
        oneFrame.mid(8, movi - 8) + list("movi", chunk("00dc", data)) + chunk("idx1", index);
    const QByteArray riff = chunk("RIFF", body);
    QByteArray out = riff;
    // The main header's frame count (byte 48 of the file).
    for (int i = 0; i < 4; ++i)
        out[48 + i] = char(quint32(entries) >> (8 * i));
    return out;
}

// A MIDI file of one track holding `events` notes switched on and off, a tick apart.
inline QByteArray manyEventMidi(int events)
{
    QByteArray track;
    track.reserve(qsizetype(events) * 3 + 16);
    track.append(char(0)).append(char(0x90)).append(char(60)).append(char(0));
    for (int i = 1; i < events; ++i)
        track.append(char(1)).append(char(60)).append(char(i & 1 ? 100 : 0));
    track.append(char(0)).append(char(0xff)).append(char(0x2f)).append(char(0));
    QByteArray midi("MThd");
    be32(midi, 6);
    midi.append(char(0)).append(char(0)).append(char(0)).append(char(1)).append(char(0)).append(
        char(96));
    midi += "MTrk";
    be32(midi, quint32(track.size()));
    return midi + track;
}

} // namespace HostileFiles
