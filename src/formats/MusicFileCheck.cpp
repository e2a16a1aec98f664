#include "formats/MusicFileCheck.h"

#include <QFile>
#include <QFileInfo>

#include <array>

namespace {

// The player's texts for files it cannot play (the error box adds the full stop).
const char *const kCannotOpenText = "Cannot open the music file";
const char *const kUnsupportedText = "The music file is neither MP3 nor MIDI";
const char *const kDamagedText = "The music file is damaged";

// The first MP3 frame must start this close to the end of the ID3 tag (or the file's start).
constexpr qint64 kMp3SearchWindow = qint64(64) * 1024;
// Room after the window for the chained frames (the longest MPEG audio frame is under 3 KiB).
constexpr qint64 kMp3ChainRoom = qint64(8) * 1024;
// Frames that must chain for the data to count as MP3 audio rather than bytes that look like it.
constexpr int kMp3FramesToChain = 3;
// The sound library's decoder gives up on a stream of a single frame ("done with this track"), so a
// shorter file, however well formed, is as good as damaged to the player.
constexpr int kMp3MinFrames = 2;
// The sound library reads a MIDI file whole; larger files are refused rather than read.
constexpr qint64 kMidiMaxSize = qint64(8) * 1024 * 1024;
// ... and keeps some 60 bytes for every event: a file of 8 MB can hold 2.8 million events, which
// would take 160 MB. Half a million (an hour of dense music) stay within 30 MB; the game's pieces
// have a few hundred.
constexpr qint64 kMidiMaxEvents = 500000;
// The sound library reads an MP3 file's ID3 tag whole. A tag of text and a cover picture takes a
// few MB; a larger one is refused rather than read (the format allows 256 MB).
constexpr qint64 kMp3MaxTag = qint64(16) * 1024 * 1024;

enum class Kind { Mp3, Midi, Other };

Kind kindOf(const QString &extension)
{
    const QString ext = extension.toLower();
    if (ext == u"mp3")
        return Kind::Mp3;
    if (ext == u"mid" || ext == u"midi")
        return Kind::Midi;
    return Kind::Other;
}

quint32 be32(const uchar *p)
{
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3];
}
quint16 be16(const uchar *p)
{
    return quint16(p[0] << 8 | p[1]);
}

// Length of the ID3v2 tag at the start of `head` (at least 10 bytes of the file), 0 when none.
qint64 id3Length(const QByteArray &head)
{
    if (head.size() < 10 || !head.startsWith("ID3"))
        return 0;
    const auto *p = reinterpret_cast<const uchar *>(head.constData());
    // The size is four 7-bit bytes; a footer of 10 bytes follows when flag bit 4 is set.
    const qint64 size = qint64(p[6] & 0x7f) << 21 | qint64(p[7] & 0x7f) << 14
        | qint64(p[8] & 0x7f) << 7 | (p[9] & 0x7f);
    return 10 + size + ((p[5] & 0x10) ? 10 : 0);
}

struct FrameHeader {
    int version = 0;    // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    int layer = 0;      // 1, 2 or 3
    int sampleRate = 0; // Hz
    int length = 0;     // bytes, header included
};

// Decodes the 4-byte MPEG audio frame header at `p`; false for anything that is not one
// (free-format bit rates included, which a stream of real frames does not use).
bool frameHeader(const uchar *p, FrameHeader *header)
{
    static constexpr std::array<std::array<int, 15>, 5> kBitRates{{
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448}, // MPEG-1 layer I
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},    // MPEG-1 layer II
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},     // MPEG-1 layer III
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256}, // MPEG-2/2.5 layer I
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}, // MPEG-2/2.5 layers II, III
    }};
    static constexpr std::array<int, 3> kMpeg1Rates{44100, 48000, 32000};

    if (p[0] != 0xff || (p[1] & 0xe0) != 0xe0)
        return false;
    const int version = (p[1] >> 3) & 3;
    const int layerBits = (p[1] >> 1) & 3;
    const int bitRateIndex = p[2] >> 4;
    const int rateIndex = (p[2] >> 2) & 3;
    if (version == 1 || layerBits == 0 || bitRateIndex == 0 || bitRateIndex == 15 || rateIndex == 3
        || (p[3] & 3) == 2)
        return false;
    const int layer = 4 - layerBits;
    const bool mpeg1 = version == 3;
    const int table = mpeg1 ? layer - 1 : (layer == 1 ? 3 : 4);
    const int bitRate = kBitRates[table][bitRateIndex] * 1000;
    const int sampleRate = kMpeg1Rates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    const int padding = (p[2] >> 1) & 1;
    int length = 0;
    if (layer == 1)
        length = (12 * bitRate / sampleRate + padding) * 4;
    else if (layer == 3 && !mpeg1)
        length = 72 * bitRate / sampleRate + padding;
    else
        length = 144 * bitRate / sampleRate + padding;
    *header = {version, layer, sampleRate, length};
    return true;
}

// Reads and checks the events of one track chunk's body; false when they do not parse to its end
// or when there are more than `events` of them. Counts them off `events`.
bool trackParses(const uchar *p, const uchar *end, qint64 *events)
{
    const auto varLength = [&p, end](quint32 *value) {
        *value = 0;
        for (int i = 0; i < 4; ++i) {
            if (p >= end)
                return false;
            const uchar byte = *p++;
            *value = *value << 7 | (byte & 0x7f);
            if (!(byte & 0x80))
                return true;
        }
        return false; // longer than the four bytes a MIDI file allows
    };
    uchar running = 0;
    quint32 value = 0;
    while (p < end) {
        if (--*events < 0)
            return false;
        if (!varLength(&value)) // delta time
            return false;
        if (p >= end)
            return false;
        uchar status = *p;
        if (status & 0x80)
            ++p;
        else if (running)
            status = running;
        else
            return false; // data with no status to run on
        if (status < 0xf0) {
            running = status;
            const int dataBytes = (status & 0xf0) == 0xc0 || (status & 0xf0) == 0xd0 ? 1 : 2;
            for (int i = 0; i < dataBytes; ++i)
                if (p >= end || (*p++ & 0x80))
                    return false;
        } else if (status == 0xff) {
            if (p >= end)
                return false;
            const uchar type = *p++;
            if (!varLength(&value) || value > quint32(end - p))
                return false;
            p += value;
            if (type == 0x2f)
                return true; // end of track: what follows in the chunk is never read
        } else if (status == 0xf0 || status == 0xf7) {
            if (!varLength(&value) || value > quint32(end - p))
                return false;
            p += value;
        } else {
            return false; // real-time and common messages do not belong in a file
        }
    }
    return true;
}

} // namespace

MusicFileCheck::Result MusicFileCheck::check(const QString &path)
{
    const QFileInfo info(path);
    const Kind kind = kindOf(info.suffix());
    QFile file(path);
    // Only regular files: a pipe or a device in the piece's place would block the game.
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        return Result::CannotOpen;
    if (kind == Kind::Other)
        return Result::Unsupported;
    const qint64 size = file.size();
    if (kind == Kind::Midi) {
        // Bounded by the bytes read, not by the size the file reports: a /proc file says 0 and
        // never ends.
        const QByteArray bytes = size > kMidiMaxSize ? QByteArray() : file.read(kMidiMaxSize + 1);
        if (size > kMidiMaxSize || bytes.size() > kMidiMaxSize)
            return Result::Damaged;
        return checkMidi(bytes);
    }
    const qint64 tag = id3Length(file.read(10));
    if (tag > size || tag > kMp3MaxTag || !file.seek(tag))
        return Result::Damaged;
    return checkMp3(file.read(kMp3SearchWindow + kMp3ChainRoom), size - tag);
}

MusicFileCheck::Result MusicFileCheck::checkBytes(const QString &extension, const QByteArray &bytes)
{
    switch (kindOf(extension)) {
    case Kind::Mp3: {
        const qint64 tag = id3Length(bytes);
        if (tag > bytes.size() || tag > kMp3MaxTag)
            return Result::Damaged;
        return checkMp3(bytes.mid(tag, kMp3SearchWindow + kMp3ChainRoom), bytes.size() - tag);
    }
    case Kind::Midi:
        return bytes.size() > kMidiMaxSize ? Result::Damaged : checkMidi(bytes);
    case Kind::Other:
        break;
    }
    return Result::Unsupported;
}

MusicFileCheck::Result MusicFileCheck::checkMp3(const QByteArray &bytes, qint64 audioSize)
{
    // `bytes` is the start of the audio after the tag; `audioSize` is how long the audio really is.
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    const qint64 available = bytes.size();
    const qint64 lastStart = std::min(kMp3SearchWindow, available - 4);
    for (qint64 start = 0; start <= lastStart; ++start) {
        FrameHeader first;
        if (!frameHeader(data + start, &first))
            continue;
        qint64 at = start;
        int chained = 0;
        FrameHeader frame = first;
        while (true) {
            if (at + frame.length > audioSize)
                break; // the file ends inside this frame
            ++chained;
            at += frame.length;
            if (chained == kMp3FramesToChain || (at == audioSize && chained >= kMp3MinFrames))
                return Result::Mp3;
            FrameHeader next;
            if (at + 4 > available || !frameHeader(data + at, &next)
                || next.version != first.version || next.layer != first.layer
                || next.sampleRate != first.sampleRate)
                break;
            frame = next;
        }
    }
    return Result::Damaged;
}

MusicFileCheck::Result MusicFileCheck::checkMidi(const QByteArray &bytes)
{
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    const qint64 size = bytes.size();
    if (size < 14 || !bytes.startsWith("MThd"))
        return Result::Damaged;
    const qint64 headerLength = be32(data + 4);
    const int format = be16(data + 8);
    const int tracks = be16(data + 10);
    const int division = be16(data + 12);
    if (headerLength < 6 || headerLength > size - 8 || format > 2 || tracks == 0 || division == 0)
        return Result::Damaged;
    qint64 at = 8 + headerLength;
    int found = 0;
    qint64 events = kMidiMaxEvents;
    // Chunks of other kinds are skipped, as readers of the format do; what follows the last
    // announced track is never read.
    while (found < tracks) {
        if (size - at < 8)
            return Result::Damaged;
        const qint64 length = be32(data + at + 4);
        const qint64 body = at + 8;
        if (length > size - body)
            return Result::Damaged;
        if (bytes.mid(at, 4) == "MTrk") {
            if (!trackParses(data + body, data + body + length, &events))
                return Result::Damaged;
            ++found;
        }
        at = body + length;
    }
    return Result::Midi;
}

QString MusicFileCheck::text(Result result)
{
    switch (result) {
    case Result::CannotOpen:
        return QString::fromLatin1(kCannotOpenText);
    case Result::Unsupported:
        return QString::fromLatin1(kUnsupportedText);
    case Result::Damaged:
        return QString::fromLatin1(kDamagedText);
    case Result::Mp3:
    case Result::Midi:
        break;
    }
    return {};
}
