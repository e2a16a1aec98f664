#include "formats/MusicFileCheck.h"
#include "unit/HostileFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

namespace {

// `frames` MPEG-1 layer III frames of 64 kbit/s: at 44.1 kHz, 208 bytes each, unless `header`
// says otherwise.
QByteArray mp3Frames(int frames, const char *header = "fffb50c0", int length = 208)
{
    QByteArray frame(length, '\0');
    frame.replace(0, 4, QByteArray::fromHex(header));
    return frame.repeated(frames);
}

// A MIDI file of `size` bytes: one track holding a text as long as that takes.
QByteArray midiOfSize(int size)
{
    QByteArray midi = QByteArray::fromHex("4d546864000000060000000100604d54726b");
    const int text = size - 14 - 8 - 7 - 4; // the header, the track's, the text's, the end's
    HostileFiles::be32(midi, quint32(7 + text + 4));
    midi += QByteArray::fromHex("00ff01");
    for (int shift = 21; shift >= 0; shift -= 7) // the text's length in four 7-bit bytes
        midi += char((text >> shift & 0x7f) | (shift ? 0x80 : 0));
    return midi + QByteArray(text, 't') + QByteArray::fromHex("00ff2f00");
}

} // namespace

class TestMusicFileCheck : public QObject {
    Q_OBJECT
private slots:
    // The reader's rules, each bound from both sides, through both ways in (a file and bytes): an
    // MP3 is at least two frames that chain, a MIDI file at most 500,000 events and 8 MB.
    void bounds_data()
    {
        using Result = MusicFileCheck::Result;
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("result");
        QTest::newRow("MP3 of one frame") << "mp3" << mp3Frames(1) << int(Result::Damaged);
        QTest::newRow("MP3 of two frames") << "mp3" << mp3Frames(2) << int(Result::Mp3);
        // Every sample rate makes frames of its own length; a reserved emphasis is no frame.
        QTest::newRow("MP3 at 48 kHz")
            << "mp3" << mp3Frames(3, "fffb54c0", 192) << int(Result::Mp3);
        QTest::newRow("MP3 at 32 kHz")
            << "mp3" << mp3Frames(3, "fffb58c0", 288) << int(Result::Mp3);
        QTest::newRow("MP3 of reserved emphasis")
            << "mp3" << mp3Frames(3, "fffb50c2") << int(Result::Damaged);
        // The track's end is an event too.
        QTest::newRow("MIDI of 500,000 events")
            << "mid" << HostileFiles::manyEventMidi(499999) << int(Result::Midi);
        QTest::newRow("MIDI of 500,001 events")
            << "mid" << HostileFiles::manyEventMidi(500000) << int(Result::Damaged);
        QTest::newRow("MIDI of 8 MB") << "mid" << midiOfSize(8 << 20) << int(Result::Midi);
        QTest::newRow("MIDI of 8 MB and a byte")
            << "mid" << midiOfSize((8 << 20) + 1) << int(Result::Damaged);
    }
    void bounds()
    {
        QFETCH(QString, extension);
        QFETCH(QByteArray, bytes);
        QFETCH(int, result);
        QCOMPARE(int(MusicFileCheck::checkBytes(extension, bytes)), result);
        QTemporaryDir dir;
        QFile file(dir.filePath("piece." + extension));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        QCOMPARE(int(MusicFileCheck::check(file.fileName())), result);
    }

    // A piece that is a link to a /proc file (its size says 0; pagemap never ends) is read no
    // further than the bound: refused at once, within bounded memory.
    void procLinkIsBounded_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("pagemap") << "/proc/self/pagemap";
        QTest::newRow("kallsyms") << "/proc/kallsyms";
    }
    void procLinkIsBounded()
    {
        QFETCH(QString, target);
        if (!QFileInfo::exists(target))
            QSKIP("no such file here");
        QTemporaryDir dir;
        const QString piece = dir.filePath("pms.mid");
        QVERIFY(QFile::link(target, piece));
        struct rusage before {};
        getrusage(RUSAGE_SELF, &before);
        QCOMPARE(MusicFileCheck::check(piece), MusicFileCheck::Result::Damaged);
        struct rusage after {};
        getrusage(RUSAGE_SELF, &after);
        QVERIFY((after.ru_maxrss - before.ru_maxrss) / 1024 < 100);
    }
};

QTEST_GUILESS_MAIN(TestMusicFileCheck)
#include "test_MusicFileCheck.moc"
