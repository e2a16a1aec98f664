// Writes small game files made to cost the game as much time or memory as their format allows, for
// bench/hostile_files.sh: progressive backgrounds that repeat their last scan, icons whose every
// directory entry points to one large PNG, a run-length clip whose index lists one full-frame chunk
// 100,000 times, an MP3 behind a 256 MB tag and a MIDI file of 2.8 million events.
// Usage: make_hostile <output directory> <source tree>

#include "unit/HostileFiles.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

namespace {

QDir g_out;

void put(const QString &name, const QByteArray &bytes)
{
    QFile file(g_out.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        std::exit(1);
    }
}

// `mp3` behind an ID3v2 tag of `tagBytes` bytes of padding, written without holding the tag.
void writeTaggedMp3(const QString &name, qint64 tagBytes, const QByteArray &mp3)
{
    QFile file(g_out.filePath(name));
    if (!file.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        std::exit(1);
    }
    QByteArray head("ID3\x04\x00\x00", 6);
    for (int shift = 21; shift >= 0; shift -= 7)
        head.append(char((tagBytes >> shift) & 0x7f));
    file.write(head);
    const QByteArray zeros(1 << 20, '\0');
    for (qint64 left = tagBytes; left > 0; left -= zeros.size())
        file.write(zeros.constData(), std::min<qint64>(left, zeros.size()));
    file.write(mp3);
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_hostile <output directory> <source tree>\n");
        return 2;
    }
    g_out = QDir(QString::fromLocal8Bit(argv[1]));
    g_out.mkpath(".");
    const QDir source(QString::fromLocal8Bit(argv[2]));

    using namespace HostileFiles;
    const QByteArray background = progressiveJpeg(688, 368);
    put("fon_scans_1000.jpg", repeatLastScan(background, 1000));
    put("fon_scans_10000.jpg", repeatLastScan(background, 10000));
    put("fon_4000_scans_1000.jpg", repeatLastScan(progressiveJpeg(4000, 4000), 1000));
    put("icon_1000.ico", manyEntryIcon(1000, 2000));
    put("icon_65535.ico", manyEntryIcon(65535, 2000));
    put("clip_rle_100000.avi", catchUpClip(1024, 100, 100000));
    put("midi_2790000.mid", manyEventMidi(2790000));
    QFile mp3(source.filePath("base/sound/pms.mp3"));
    if (!mp3.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read base/sound/pms.mp3\n");
        return 1;
    }
    writeTaggedMp3("mp3_tag_256mb.mp3", (qint64(256) << 20) - 1, mp3.readAll());
    return 0;
}
