#include "score/ScoreFile.h"

#include "formats/Cp1251.h"
#include "formats/GameError.h"
#include "score/SafeFile.h"
#include "score/ScoreText.h"
#include "toolkit/AssetPath.h"

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

// One file of the list as a load finds it.
struct ListFile {
    enum class State { Read, Missing, Unreadable } state = State::Missing;
    QString text;
    SafeFile::Identity identity;
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
        return {ListFile::State::Unreadable, {}, {}};
    QByteArray bytes;
    switch (file.read(&bytes)) {
    case SafeFile::Read::Done:
        break;
    case SafeFile::Read::Missing:
        return {};
    default:
        return {ListFile::State::Unreadable, {}, {}};
    }
    if (ScoreText::normalisedSize(bytes) > ScoreText::kMaxFileBytes)
        return {ListFile::State::Unreadable, {}, {}};
    return {ListFile::State::Read, textOf(bytes), file.identity()};
}

// What a save of the list asks of one file.
struct ListSave {
    QString text;     // the list as the player left it
    QString listBase; // the list as it was last loaded or saved
    QString base;     // this file's text when last read or written
};

// Writes the list to `path`, with its turn: the list plus the results that other games added to
// the file since `save.base` and that the list has not seen. `*written` receives the text written
// and `*identity` the file it now lies in; `*pending` is set when a backup of an unfinished write
// stands that could not be applied.
Outcome writeList(Disk &disk, const QString &path, const ListSave &save, QString *written,
                  SafeFile::Identity *identity, bool *pending)
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
    theirs.reset();
    const QByteArray out = Cp1251::encode(*written);
    if (out.size() > ScoreText::kMaxFileBytes)
        return Outcome::TooLarge;
    switch (file.replace(out)) {
    case SafeFile::Outcome::Written:
        *identity = file.identity();
        return Outcome::Written;
    case SafeFile::Outcome::NotCreated:
        return Outcome::NotCreated;
    case SafeFile::Outcome::NotWritten:
        break;
    }
    return Outcome::NotWritten;
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

// Whether the score file at its name is still the file `scoreFile` that a save wrote, holding
// `written`: a score file renamed, removed or replaced since holds none of the fallback's results.
bool stillWritten(Disk &disk, const SafeFile::Identity &scoreFile, const QString &written)
{
    const std::optional<SafeFile::Place> place = placeOf(primaryTarget());
    if (!place)
        return false;
    SafeFile file(disk, *place, ScoreText::kMaxFileBytes);
    QByteArray bytes;
    return file.takeTurn(kTurnWaitMs) && file.read(&bytes) == SafeFile::Read::Done
        && file.identity() == scoreFile && ScoreText::readsAs(bytes, written);
}

// Removes the fallback once a save put in the score file (`scoreFile`) every result that it held,
// the list having shown them: when the score file still holds them, the fallback still holds
// `seen`, what this game last read of it, and is not the score file itself under another name. A
// fallback that another game wrote since is kept, and shown by the next start. Returns what the
// fallback now holds.
QString retireFallback(Disk &disk, const QString &seen, const SafeFile::Identity &scoreFile,
                       const QString &written)
{
    const QString path = AssetPath::resolve(QString::fromUtf16(kFallbackPath));
    // A link is the player's: kept.
    if (seen.isEmpty() || path.isEmpty() || QFileInfo(path).isSymLink())
        return seen;
    if (!stillWritten(disk, scoreFile, written))
        return seen;
    const std::optional<SafeFile::Place> place = placeOf(path);
    if (!place)
        return seen;
    SafeFile file(disk, *place, ScoreText::kMaxFileBytes);
    QByteArray bytes;
    if (!file.takeTurn(kTurnWaitMs) || file.recover() != SafeFile::Recovery::Clean
        || file.read(&bytes) != SafeFile::Read::Done)
        return seen;
    // The score file under another name, as written or as another game replaced it since.
    if (file.identity() == scoreFile || file.identity() == identityOf(disk, primaryTarget()))
        return written;
    if (!ScoreText::readsAs(bytes, seen))
        return seen;
    return file.remove() ? QString() : seen;
}

} // namespace

Loaded load(Disk &disk)
{
    // Where no file stands yet, its folder is still looked at: a save killed half-way may have left
    // its temporary file there.
    const ListFile score = readList(disk, primaryTarget());
    const ListFile fallback = readList(disk, fallbackTarget());
    Loaded loaded;
    loaded.fallbackText = fallback.text;
    if (score.state == ListFile::State::Read) {
        loaded.scoreText = score.text;
        // A result that a save had to leave in the fallback is shown, and the next save keeps it.
        loaded.text =
            ScoreText::joinLines(score.text, ScoreText::missingResults(fallback.text, score.text));
    } else {
        // The score file is not there or cannot be read: saves go to the fallback, which holds what
        // the sessions before saved there.
        loaded.unreadable = score.state == ListFile::State::Unreadable;
        loaded.text = fallback.text;
    }
    return loaded;
}

Loaded save(const QString &text, const Loaded &last, Disk &disk)
{
    bool unreadable = last.unreadable;
    QString written;
    SafeFile::Identity scoreFile;
    if (!unreadable) {
        switch (writeList(disk, primaryTarget(), {text, last.text, last.scoreText}, &written,
                          &scoreFile, &unreadable)) {
        case Outcome::Written:
            return {written, false, written,
                    retireFallback(disk, last.fallbackText, scoreFile, written)};
        case Outcome::TooLarge:
            throw GameError(kTooLargeText);
        default:
            break; // to the fallback
        }
    }
    bool pending = false;
    SafeFile::Identity fallbackFile;
    switch (writeList(disk, fallbackTarget(), {text, last.text, last.fallbackText}, &written,
                      &fallbackFile, &pending)) {
    case Outcome::Written:
        return {written, unreadable, last.scoreText, written};
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
