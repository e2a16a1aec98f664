#include "formats/MusicFileCheck.h"
#include "unit/HostileFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <deque>
#include <memory>

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

// A MIDI file of `tracks` tracks that each hold the events written in hex.
QByteArray midiOf(const char *events, int tracks = 1)
{
    QByteArray midi = QByteArray::fromHex("4d546864000000060001");
    midi += char(tracks >> 8) + QByteArray(1, char(tracks)) + QByteArray::fromHex("0060");
    QByteArray track("MTrk");
    HostileFiles::be32(track, quint32(QByteArray::fromHex(events).size()));
    return midi + (track + QByteArray::fromHex(events)).repeated(tracks);
}

// An ID3 tag `length` bytes long (its header included; a footer of 10 bytes more where
// `footer`), `gap` bytes of silence, then two MP3 frames.
QByteArray taggedMp3(int length, int gap = 0, bool footer = false)
{
    QByteArray tag("ID3\x04\0", 5);
    tag += char(footer ? 0x10 : 0);
    for (int shift = 21; shift >= 0; shift -= 7) // the length less the header, in 7-bit bytes
        tag += char((length - 10) >> shift & 0x7f);
    return tag + QByteArray(length - (footer ? 0 : 10) + gap, '\0') + mp3Frames(2);
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
        // A reserved emphasis is no frame.
        QTest::newRow("MP3 of reserved emphasis")
            << "mp3" << mp3Frames(3, "fffb50c2") << int(Result::Damaged);
        // Layer I, which no encoder here writes, has frames of its own length in each version.
        QTest::newRow("MPEG-1 layer I")
            << "mp3" << mp3Frames(3, "ffff10c0", 32) << int(Result::Mp3);
        QTest::newRow("MPEG-2 layer I")
            << "mp3" << mp3Frames(3, "fff710c0", 68) << int(Result::Mp3);
        QTest::newRow("MPEG-1 layer I, a byte too long")
            << "mp3" << mp3Frames(3, "ffff10c0", 33) << int(Result::Damaged);
        QTest::newRow("MPEG-2 layer III, a byte too long")
            << "mp3" << mp3Frames(3, "fff310c0", 27) << int(Result::Damaged);
        QTest::newRow("MPEG-2 layer I, 56 kbit/s")
            << "mp3" << mp3Frames(3, "fff730c0", 120) << int(Result::Mp3);
        // A frame starts with eleven set bits.
        QTest::newRow("MP3 of FE FB") << "mp3" << mp3Frames(3, "fefb50c0") << int(Result::Damaged);
        QTest::newRow("MP3 of FF 1B") << "mp3" << mp3Frames(3, "ff1b50c0") << int(Result::Damaged);
        QTest::newRow("MP3 of two bit rates")
            << "mp3" << (mp3Frames(1) + mp3Frames(1, "fffb90c0", 417)).repeated(2)
            << int(Result::Mp3);
        QTest::newRow("MP3 of three frames, the last cut")
            << "mp3" << mp3Frames(3).chopped(1) << int(Result::Damaged);
        // Three frames that chain are MP3 whatever follows them; two only where the file ends.
        QTest::newRow("MP3 of three frames and more")
            << "mp3" << mp3Frames(3) + QByteArray(99, 'x') << int(Result::Mp3);
        QTest::newRow("MP3 of two frames and more")
            << "mp3" << mp3Frames(2) + QByteArray(99, 'x') << int(Result::Damaged);
        // The first frame starts within 64 KiB of the tag's end, its footer included; the tag is at
        // most 16 MiB.
        QTest::newRow("MP3 at 64 KiB")
            << "mp3" << taggedMp3(20000, 64 << 10, true) << int(Result::Mp3);
        QTest::newRow("MP3 at 64 KiB and a byte")
            << "mp3" << taggedMp3(20000, (64 << 10) + 1, true) << int(Result::Damaged);
        QTest::newRow("MP3 of a 16 MiB tag") << "mp3" << taggedMp3(16 << 20) << int(Result::Mp3);
        QTest::newRow("MP3 of a 16 MiB tag and a byte")
            << "mp3" << taggedMp3((16 << 20) + 1) << int(Result::Damaged);
        // The track's end is an event too.
        QTest::newRow("MIDI of 500,000 events")
            << "mid" << HostileFiles::manyEventMidi(499999) << int(Result::Midi);
        QTest::newRow("MIDI of 500,001 events")
            << "mid" << HostileFiles::manyEventMidi(500000) << int(Result::Damaged);
        QTest::newRow("MIDI of 8 MB") << "mid" << midiOfSize(8 << 20) << int(Result::Midi);
        QTest::newRow("MIDI of 8 MB and a byte")
            << "mid" << midiOfSize((8 << 20) + 1) << int(Result::Damaged);
        // The events of a track as the format has them, each broken at its end.
        const std::pair<const char *, bool> tracks[] = {
            {"00903c40003c0000ff2f00", true},        // running status
            {"00c005000600ff2f00", true},            // ... on a program change
            {"003c40", false},                       // data with no status
            {"00903cc0", false},                     // a data byte with the status bit
            {"00903c", false},                       // a note cut at the chunk's end
            {"00c00500ff2f00", true},                // a program change: one data byte
            {"00c08500ff2f00", false},               // ... without the status bit
            {"00d00500ff2f00", true},                // channel pressure: one data byte
            {"00f001f700ff2f00", true},              // a system exclusive message
            {"00f70105", true},                      // an escape, to the chunk's end
            {"00f00301f7", false},                   // ... longer than the chunk
            {"00ff010241", false},                   // a meta event longer than the chunk
            {"00ff01024142", true},                  // ... to the chunk's end, and no end of track
            {"00ff2f0099", true},                    // what follows the end of track is not read
            {"00f800ff2f00", false},                 // a real-time message
            {"80808000ff2f00", true},                // a four-byte time
            {"8080808000ff2f00", false},             // a five-byte time
            {"00903c40808080803c4000ff2f00", false}, // ... under running status
            {"00ff01", false},                       // a meta event cut before its length
            {"00ff", false},                         // a meta event cut after its status
            {"00", false},                           // a time and no event
            {"0090013c80", false},                   // a time cut at the chunk's end
        };
        for (const auto &[events, parses] : tracks)
            QTest::newRow(events) << "mid" << midiOf(events)
                                  << int(parses ? Result::Midi : Result::Damaged);
        // The header: its name, and a division of at least one tick; a track's length.
        const auto header = [](int at, char byte) {
            QByteArray midi = midiOf("00ff2f00");
            midi[at] = byte;
            return midi;
        };
        QTest::newRow("MIDI named MThx") << "mid" << header(3, 'x') << int(Result::Damaged);
        QTest::newRow("MIDI of division 0") << "mid" << header(13, 0) << int(Result::Damaged);
        QTest::newRow("MIDI of division 1") << "mid" << header(13, 1) << int(Result::Midi);
        QTest::newRow("MIDI of a track 2 GiB long")
            << "mid" << header(18, char(0x80)) << int(Result::Damaged);
        QTest::newRow("MIDI of a track longer than the file")
            << "mid" << header(21, 0x10) << int(Result::Damaged);
        QTest::newRow("MIDI whose second track is damaged")
            << "mid" << midiOf("00ff2f00", 2).replace(34, 1, "\x80") << int(Result::Damaged);
        QTest::newRow("MIDI of an empty track") << "mid" << midiOf("") << int(Result::Midi);
        QTest::newRow("MIDI of 256 tracks")
            << "midi" << midiOf("00ff2f00", 256) << int(Result::Midi);
        QTest::newRow("MIDI as .MID") << "MID" << midiOf("00ff2f00") << int(Result::Midi);
        QTest::newRow("MIDI as .wav") << "wav" << midiOf("00ff2f00") << int(Result::Unsupported);
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

    // MP3s as the encoders here write them, at every bit rate they take (they refuse or round the
    // others): LAME's layer III for MPEG-1, 2 and 2.5, which the sample rate picks (every rate of
    // its own frame length), padded frames at 44.1 kHz, and FFmpeg's layer II.
    void encodedFiles()
    {
        QTemporaryDir dir;
        QFile silence(dir.filePath("silence.raw"));
        QVERIFY(silence.open(QIODevice::WriteOnly) && silence.write(QByteArray(20000, '\0')));
        silence.close();
        std::deque<std::unique_ptr<QProcess>> running; // eight at a time
        const auto finish = [&] {
            const std::unique_ptr<QProcess> encoder = std::move(running.front());
            running.pop_front();
            QVERIFY2(encoder->waitForFinished(60000), qPrintable(encoder->program()));
            if (encoder->exitCode() == 0) // FFmpeg refuses a bit rate that layer II lacks
                QVERIFY2(MusicFileCheck::checkBytes("mp3", encoder->readAllStandardOutput())
                             == MusicFileCheck::Result::Mp3,
                         qPrintable(encoder->arguments().join(' ')));
        };
        const auto encode = [&](const QString &program, const QStringList &arguments) {
            if (running.size() == 8)
                finish();
            running.push_back(std::make_unique<QProcess>());
            running.back()->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            running.back()->start(program, arguments + QStringList{"-"});
        };
        const std::pair<const char *, int> rates[] = {{"44.1", 320},  {"48", 32}, {"32", 32},
                                                      {"22.05", 160}, {"24", 8},  {"11.025", 64}};
        for (const auto &[rate, top] : rates) {
            for (int kbits = 8; kbits <= top; kbits += 8)
                encode("lame",
                       {"--quiet", "-r", "-s", rate, "--resample", rate, "-m", "m", "-b",
                        QString::number(kbits), "--cbr", silence.fileName()});
        }
        for (int kbits = 32; kbits <= 384; kbits += 8)
            encode("ffmpeg",
                   {"-v", "quiet", "-f", "lavfi", "-i", "anullsrc=r=44100:cl=mono", "-t", "0.1",
                    "-b:a", QString("%1k").arg(kbits), "-f", "mp2"});
        while (!running.empty())
            finish();
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
