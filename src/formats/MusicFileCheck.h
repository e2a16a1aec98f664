#pragma once

#include <QByteArray>
#include <QString>

// Looks at a music file before the sound library does. The game plays MP3 and standard MIDI files,
// the kind following the file's extension. What the library does with anything else is either a
// sentence of its own ("I am done with this track") or, for a broken MIDI file, silence with no
// word at all; this check gives every such file one of the game's own errors instead, and it needs
// no sound output, so a piece can be accepted before the output is open.
//
// MP3: after any ID3v2 tag, three MPEG audio frames whose headers chain one to the next (fewer when
// the file ends sooner) must start within the first 64 KiB. MIDI: the header chunk, then as many
// track chunks as the header announces, each one's events parsed to its end.
//
// Bounded: what the sound library holds of a file is kept within the game's memory budget, so an
// MP3 tag of more than 16 MB, a MIDI file of more than 8 MB or with more than half a million
// events counts as damaged.
class MusicFileCheck {
public:
    enum class Result { Mp3, Midi, CannotOpen, Unsupported, Damaged };

    // Reads what it needs of the file at `path` (a file-system path).
    static Result check(const QString &path);

    // The same for a file already in memory; `extension` in any letter case, without the dot.
    static Result checkBytes(const QString &extension, const QByteArray &bytes);

    // The error text the player sees for a result that is not Mp3 or Midi.
    static QString text(Result result);

private:
    static Result checkMp3(const QByteArray &bytes, qint64 audioSize);
    static Result checkMidi(const QByteArray &bytes);
};
