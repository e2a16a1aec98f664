#include "score/ScoreFile.h"

#include "formats/Cp1251.h"
#include "formats/GameError.h"
#include "score/SafeFile.h"
#include "score/ScoreText.h"
#include "toolkit/AssetPath.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <optional>

namespace ScoreFile {

namespace {

// The directory of the score file, for creating the file when it is not there yet.
const QString kDataDir = QStringLiteral("base\\data");
// The file name of a new score file in that directory.
const QString kFileName = QStringLiteral("score.inf");
// What the error box says when another game holds the turn of both files.
const QString kBusyText =
    QStringLiteral("Другая игра сейчас сохраняет очки: ваши результаты остались в списке "
                   "и сохранятся при следующем «Назад»");
// What the error box says when the list is over the bound.
const QString kTooLargeText =
    QStringLiteral("Список очков не сохранён: он больше 10 МБ, а файл очков остался прежним");

enum class Outcome { Written, NotCreated, NotWritten, NoTurn, TooLarge };

QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

// Where the file that `path` names lies, at the end of its chain of links, and where a write in
// place of it keeps its backup; nullopt when there is no path or the chain is broken or loops, for
// there is no file to write where it lies. The backup goes where every game that reaches the file
// finds it, whatever links led there: beside the `base` that holds the file's `data` folder (for
// the usual score file, the game's own folder), else beside the file, named after the file.
std::optional<SafeFile::Place> placeOf(const QString &path)
{
    if (path.isEmpty())
        return std::nullopt;
    const QFileInfo link(path);
    const QFileInfo file(link.isSymLink() ? link.canonicalFilePath() : link.absoluteFilePath());
    if (file.filePath().isEmpty())
        return std::nullopt;
    const QString folder = file.absolutePath();
    const QFileInfo canonicalFolder(QFileInfo(folder).canonicalFilePath());
    const bool inData = canonicalFolder.fileName().compare(u"data", Qt::CaseInsensitive) == 0
        && QFileInfo(canonicalFolder.absolutePath())
                .fileName()
                .compare(u"base", Qt::CaseInsensitive)
            == 0;
    const QByteArray name = nativePath(file.fileName());
    return SafeFile::Place{nativePath(folder), name, inData ? "../.." : ".",
                           name + (inData ? kBackupSuffix : kFallbackBackupSuffix)};
}

// The file a save of the score file replaces: the existing one, whatever the letter case of its
// path, or a new one in an existing data directory. Empty when there is no data directory.
QString primaryTarget()
{
    QString existing = AssetPath::resolve(QString::fromUtf16(kPath));
    if (!existing.isEmpty())
        return existing;
    // A data "directory" that is a file gives a path that no file can be made at.
    const QString dir = AssetPath::resolve(kDataDir);
    return dir.isEmpty() ? QString() : QDir(dir).filePath(kFileName);
}

QString fallbackTarget()
{
    const QString existing = AssetPath::resolve(QString::fromUtf16(kFallbackPath));
    return existing.isEmpty() ? QString::fromUtf16(kFallbackPath) : existing;
}

QString textOf(const QByteArray &bytes)
{
    return ScoreText::normaliseLineBreaks(Cp1251::decode(ScoreText::untilZero(bytes)));
}

// The note kept beside the fallback: what of it is a copy of the score file. While a save that took
// the fallback into the score file may have been cut short, also the SHA-256 of the text that save
// wrote there and of the text it replaced: a score file holding the one holds all of the fallback,
// one holding the other holds the copy; one holding neither, written since by a game that does not
// see this fallback, may hold it or not, and is counted against as a note-less fallback is.
struct Note {
    QString copy;
    QByteArray takenInto;
    QByteArray takenFrom;
};

QByteArray digestOf(const QString &text)
{
    return QCryptographicHash::hash(Cp1251::encode(text), QCryptographicHash::Sha256).toHex();
}

// A note's bytes: the copy's, after a zero byte and the two digests when there are any.
QByteArray bytesOf(const Note &note)
{
    const QByteArray copy = Cp1251::encode(note.copy);
    return note.takenInto.isEmpty() ? copy : '\0' + note.takenInto + note.takenFrom + copy;
}

std::optional<Note> noteOf(const SafeFile &file)
{
    const std::optional<QByteArray> raw = file.note();
    if (!raw)
        return std::nullopt;
    if (!raw->startsWith('\0'))
        return Note{textOf(*raw), {}, {}};
    const qsizetype digest =
        qsizetype(QCryptographicHash::hashLength(QCryptographicHash::Sha256)) * 2;
    return Note{textOf(raw->mid(1 + 2 * digest)), raw->mid(1, digest),
                raw->mid(1 + digest, digest)};
}

// What of the fallback `fallback` is a copy of the score file that holds `score` (nothing: none),
// as `note` says.
std::optional<QString> copyIn(const std::optional<Note> &note, const QString &fallback,
                              const std::optional<QString> &score)
{
    if (!note || note->takenInto.isEmpty())
        return note ? std::optional(note->copy) : std::nullopt;
    const QByteArray now = score ? digestOf(*score) : QByteArray();
    if (now == note->takenInto)
        return fallback;
    return now == note->takenFrom ? std::optional(note->copy) : std::nullopt;
}

// One file of the list as a load finds it.
struct ListFile {
    enum class State { Read, Missing, Unreadable } state = State::Missing;
    QString text;
    SafeFile::Identity identity;
    std::optional<Note> note; // the note kept beside it for these bytes
};

// Reads the list file at `path` (none: Missing). With the turn, a write in place that was cut is
// put back first; a backup that stands and cannot be looked at or applied makes it Unreadable. A
// file whose text would be over the bound once saved is Unreadable too: it is kept as it is.
ListFile readList(Disk &disk, const QString &path)
{
    const std::optional<SafeFile::Place> place = placeOf(path);
    if (!place)
        return {};
    SafeFile file(disk, *place, ScoreText::kMaxFileBytes);
    file.takeTurn(kTurnWaitMs);
    const SafeFile::Recovery recovery = file.recover();
    if (recovery == SafeFile::Recovery::Pending || recovery == SafeFile::Recovery::NoTurn)
        return {ListFile::State::Unreadable, {}, {}, {}};
    QByteArray bytes;
    switch (file.read(&bytes)) {
    case SafeFile::Read::Done:
        break;
    case SafeFile::Read::Missing:
        file.dropNotes(); // of a file that went: they are no one's
        return {};
    default:
        return {ListFile::State::Unreadable, {}, {}, {}};
    }
    if (ScoreText::normalisedSize(bytes) > ScoreText::kMaxFileBytes)
        return {ListFile::State::Unreadable, {}, {}, {}};
    return {ListFile::State::Read, textOf(bytes), file.identity(), noteOf(file)};
}

// The results of the list that the fallback alone gave it: the whole fallback where the list is
// the fallback's text.
QString takenFromFallback(const Loaded &last)
{
    if (last.unreadable || last.scoreMissing)
        return last.fallbackText;
    return ScoreText::missingResults(last.fallbackText, last.fallbackNote.value_or(last.scoreText));
}

// What of the list is a copy of the score file; nullopt when that is not known.
std::optional<QString> copyOfScoreFile(const Loaded &last)
{
    if (!last.unreadable && !last.scoreMissing)
        return last.scoreText;
    // The list is the fallback's text: what its note says, or nothing where it held nothing.
    return last.fallbackText.isEmpty() ? QString() : last.fallbackNote;
}

// The identity of the file that `path` names at the end of its links; {} for none.
SafeFile::Identity identityOf(Disk &disk, const QString &path)
{
    const std::optional<SafeFile::Place> place = placeOf(path);
    struct stat status {};
    if (!place
        || disk.fstatat(AT_FDCWD, place->folder + '/' + place->name, &status, AT_SYMLINK_NOFOLLOW)
            != 0)
        return {};
    return {status.st_dev, status.st_ino};
}

// What a save of the list asks of one file.
struct ListSave {
    QString text;     // the list as the player left it
    QString listBase; // the list as it was last loaded or saved
    QString base;     // this file's text when last read or written
};

// What a save does besides writing the list, with the turn of the file it writes: after the file is
// read, and once it holds the text written.
class Companion {
public:
    virtual ~Companion() = default;
    // `theirs`: what the file holds now (nothing: no file); `*written`: the list merged with it.
    // Adds to `*written` what the save takes in besides, or merges anew; false when the file must
    // not be written.
    virtual bool take(SafeFile &file, const ListSave &save, const std::optional<QString> &theirs,
                      QString *written) = 0;
    // The file is about to hold `bytes`.
    virtual void replacing(SafeFile &, const QByteArray &) {}
    // The file now holds `written`.
    virtual void done(SafeFile &file, const QString &written) = 0;
};

// A save of the score file and the fallback. The fallback's turn is held from before the score
// file is written until the fallback is removed, so that no other game writes it meanwhile: the
// results that only the fallback holds go into the score file, and the fallback then goes. No note
// may then say that results the score file holds are the fallback's alone, not even after a power
// cut: before the score file is written, the note is made to hold for the old score file and the
// new alike.
class TakeInFallback : public Companion {
public:
    TakeInFallback(Disk &disk, const Loaded &last)
        : m_disk(disk), m_last(last), m_text(last.fallbackText), m_note(last.fallbackNote)
    {
    }
    bool take(SafeFile &score, const ListSave &save, const std::optional<QString> &theirs,
              QString *written) override
    {
        const QString taken = takenFromFallback(m_last);
        m_path = AssetPath::resolve(QString::fromUtf16(kFallbackPath));
        const std::optional<SafeFile::Place> place = placeOf(m_path);
        if (m_path.isEmpty() || !place) {
            m_text.clear();
            m_note.reset();
            return true;
        }
        // The score file under another name: written now, nothing to take in.
        if (identityOf(m_disk, m_path) == score.identity())
            return true;
        m_file.emplace(m_disk, *place, ScoreText::kMaxFileBytes);
        QByteArray bytes;
        const bool turn = m_file->takeTurn(kTurnWaitMs);
        const SafeFile::Recovery recovery = m_file->recover();
        const SafeFile::Read read = turn && recovery != SafeFile::Recovery::Pending
            ? m_file->read(&bytes)
            : SafeFile::Read::Unreadable;
        if (read != SafeFile::Read::Done) {
            const bool noteGone = turn && m_file->dropNotes();
            m_file.reset();
            if (read == SafeFile::Read::Missing) {
                m_text.clear();
                m_note.reset();
            }
            // A list that shows results of a fallback that may hold a note for them is not written
            // to the score file: they would be counted twice.
            return noteGone || (taken.isEmpty() && !m_last.fallbackTakenIn);
        }
        m_text = textOf(bytes);
        const std::optional<Note> note = noteOf(*m_file);
        const std::optional<QString> copy = copyIn(note, m_text, theirs);
        // As the list last saw it, with a note: the list holds it all, and no game took it into
        // the score file since, so what the score file gained since this game read it is other
        // games' own, whatever equal results the list took from the fallback. Else another game
        // wrote it since: what its note says only it holds, less what the list already took;
        // without a note, what the score file will not hold.
        if (m_text == m_last.fallbackText && copy == m_last.fallbackNote) {
            if (copy)
                *written = ScoreText::merge(save.base, save.text, theirs, save.base);
        } else {
            *written = ScoreText::joinLines(
                *written,
                copy ? ScoreText::missingResults(ScoreText::missingResults(m_text, *copy), taken)
                     : ScoreText::missingResults(m_text, *written));
        }
        // Should this save be cut short, the note holds for either score file, the old or the new.
        if (!copy
            || m_file->keepNote(
                bytesOf({*copy, digestOf(*written), digestOf(theirs.value_or(QString()))}))) {
            m_note.reset();
            return true;
        }
        // A folder that refuses the note: the fallback keeps, with its note, what only it holds,
        // and the score file gets the list without it.
        *written = ScoreText::missingResults(*written, ScoreText::missingResults(m_text, *copy));
        m_note = copy;
        m_file.reset();
        return true;
    }
    void done(SafeFile &score, const QString &written) override
    {
        if (!m_file)
            return;
        // A score file renamed, removed or replaced since holds none of the fallback's results.
        QByteArray bytes;
        if (score.read(&bytes) != SafeFile::Read::Done || !ScoreText::readsAs(bytes, written))
            return;
        // A link is the player's: kept.
        const bool link = QFileInfo(m_path).isSymLink();
        if (!link && m_file->remove()) {
            m_file->dropNotes();
            m_text.clear();
            return;
        }
        // Kept, with a note that the score file holds all it holds.
        if (m_file->keepNote(bytesOf({m_text, {}, {}})))
            m_note = m_text;
    }
    // What the fallback holds now, and its note.
    const QString &text() const { return m_text; }
    const std::optional<QString> &note() const { return m_note; }

private:
    Disk &m_disk;
    const Loaded &m_last;
    QString m_path;
    std::optional<SafeFile> m_file;
    QString m_text;
    std::optional<QString> m_note;
};

// A save to the fallback: the note beside it says what of it is a copy of the score file, as far as
// this game knows, so that a result added through both files counts twice.
class NoteCopy : public Companion {
public:
    explicit NoteCopy(const Loaded &last) : m_last(last) {}
    bool take(SafeFile &file, const ListSave &save, const std::optional<QString> &theirs,
              QString *written) override
    {
        // A note of a save cut short while taking it into the score file cannot be told here.
        const std::optional<Note> note = noteOf(file);
        const std::optional<QString> theirNote =
            note && note->takenInto.isEmpty() ? std::optional(note->copy) : std::nullopt;
        const bool touched = theirs != m_last.fallbackText || theirNote != m_last.fallbackNote
            || (note && !note->takenInto.isEmpty());
        const std::optional<QString> mine = copyOfScoreFile(m_last);
        const QString taken = takenFromFallback(m_last);
        // No other game wrote it since. Without a note, the results the list took from it may
        // since have gone into the score file by a save cut short before it removed the fallback.
        if (!touched) {
            if (theirNote || taken.isEmpty())
                m_note = mine;
        } else if (!theirs && mine) { // taken into the score file since
            m_note = ScoreText::joinLines(*mine, taken);
        } else if (theirs && theirNote) {
            // Another game wrote it since, with a note: what that note says only it holds goes
            // in, less what the list took from it, whatever copies of the score file the list
            // holds.
            *written = ScoreText::joinLines(
                save.text,
                ScoreText::missingResults(ScoreText::missingResults(*theirs, *theirNote), taken));
            m_note = mine;
        }
        return true;
    }
    void replacing(SafeFile &file, const QByteArray &bytes) override
    {
        if (m_note && !file.keepNoteFor(bytes, bytesOf({*m_note, {}, {}})))
            m_note.reset();
    }
    void done(SafeFile &file, const QString &) override
    {
        // The note of the bytes replaced goes; all go where this one could not be kept.
        file.dropNotes(m_note.has_value());
    }
    const std::optional<QString> &note() const { return m_note; }

private:
    const Loaded &m_last;
    std::optional<QString> m_note;
};

// Writes the list to `path`, with its turn: the list plus the results that other games added to
// the file since `save.base` and that the list has not seen, and what `companion` takes in.
// `*written` receives the text written and `*identity` the file it now lies in; `*pending` is set
// when a backup of an unfinished write stands that could not be applied.
Outcome writeList(Disk &disk, const QString &path, const ListSave &save, Companion &companion,
                  QString *written, SafeFile::Identity *identity, bool *pending)
{
    // A link stays a link: the file at the end of the chain is the one replaced.
    const std::optional<SafeFile::Place> place = placeOf(path);
    if (!place)
        return Outcome::NotCreated;
    SafeFile file(disk, *place, ScoreText::kMaxFileBytes);
    if (!file.takeTurn(kTurnWaitMs))
        return Outcome::NoTurn;
    if (file.recover() == SafeFile::Recovery::Pending) {
        *pending = true;
        return Outcome::NotCreated;
    }
    // Read with the turn: what the file holds now, and nothing else writes it until this is done.
    QByteArray bytes;
    std::optional<QString> theirs;
    switch (file.read(&bytes)) {
    case SafeFile::Read::Done:
        if (ScoreText::normalisedSize(bytes) > ScoreText::kMaxFileBytes)
            return Outcome::NotCreated;
        // The list ends at a zero byte and this save drops what follows it: those bytes are kept
        // aside first, or the file is not written.
        if (bytes.contains('\0') && !file.keepAside(bytes))
            return Outcome::NotCreated;
        // The file as the last load or save left it, the usual case, is not decoded once more: for
        // a large list that copy would carry the save's memory over the game's bound.
        theirs = ScoreText::readsAs(bytes, save.base) ? save.base : textOf(bytes);
        break;
    case SafeFile::Read::Missing:
        break;
    default:
        return Outcome::NotCreated;
    }
    bytes.clear();
    *written = ScoreText::merge(save.base, save.text, theirs, save.listBase);
    if (!companion.take(file, save, theirs, written))
        return Outcome::NoTurn;
    theirs.reset();
    const QByteArray out = Cp1251::encode(*written);
    if (out.size() > ScoreText::kMaxFileBytes)
        return Outcome::TooLarge;
    companion.replacing(file, out);
    switch (file.replace(out)) {
    case SafeFile::Outcome::Written:
        *identity = file.identity();
        companion.done(file, *written);
        return Outcome::Written;
    case SafeFile::Outcome::NotCreated:
        return Outcome::NotCreated;
    case SafeFile::Outcome::NotWritten:
        break;
    }
    return Outcome::NotWritten;
}

} // namespace

Loaded load(Disk &disk)
{
    // Where no file stands yet, its folder is still looked at: a save killed half-way may have left
    // its temporary file there.
    const ListFile score = readList(disk, primaryTarget());
    const ListFile fallback = readList(disk, fallbackTarget());
    Loaded loaded;
    loaded.unreadable = score.state == ListFile::State::Unreadable;
    loaded.scoreMissing = score.state == ListFile::State::Missing;
    loaded.scoreText = score.text;
    loaded.fallbackText = fallback.text;
    // The score file under another name holds nothing beyond itself, whatever its note says.
    if (score.state != ListFile::State::Read || fallback.identity != score.identity) {
        loaded.fallbackNote =
            copyIn(fallback.note, fallback.text,
                   score.state == ListFile::State::Read ? std::optional(score.text) : std::nullopt);
        loaded.fallbackTakenIn = fallback.note && !fallback.note->takenInto.isEmpty();
    }
    // A result that a save had to leave in the fallback is shown, and the next save keeps it. Where
    // the score file is not there or cannot be read, saves go to the fallback, which holds what the
    // sessions before saved there.
    loaded.text = score.state == ListFile::State::Read
        ? ScoreText::joinLines(score.text, takenFromFallback(loaded))
        : fallback.text;
    return loaded;
}

Loaded save(const QString &text, const Loaded &last, Disk &disk)
{
    bool unreadable = last.unreadable;
    QString written;
    SafeFile::Identity file;
    if (!unreadable) {
        TakeInFallback fallback(disk, last);
        switch (writeList(disk, primaryTarget(), {text, last.text, last.scoreText}, fallback,
                          &written, &file, &unreadable)) {
        case Outcome::Written:
            return {written, false, false, written, fallback.text(), fallback.note()};
        case Outcome::TooLarge:
            throw GameError(kTooLargeText);
        default:
            break; // to the fallback, its turn given back
        }
    }
    bool pending = false;
    NoteCopy note(last);
    switch (writeList(disk, fallbackTarget(), {text, last.text, last.fallbackText}, note, &written,
                      &file, &pending)) {
    case Outcome::Written:
        return {written, unreadable, last.scoreMissing, last.scoreText, written, note.note()};
    case Outcome::TooLarge:
        throw GameError(kTooLargeText);
    case Outcome::NoTurn:
        throw GameError(kBusyText);
    case Outcome::NotCreated:
        throw GameError(QStringLiteral("Cannot create file ") + QString::fromUtf16(kFallbackPath));
    case Outcome::NotWritten:
        throw GameError(QStringLiteral("Stream write error"));
    }
    return last;
}

} // namespace ScoreFile
