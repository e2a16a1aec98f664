#include "score/ScoreFile.h"

#include "formats/Cp1251.h"
#include "formats/GameError.h"
#include "score/SafeFile.h"
#include "score/ScoreText.h"
#include "toolkit/AssetPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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

// The file that `path` names at the end of its chain of links; the path itself when it is no link;
// empty when the chain is broken or loops, for there is no file to write where it lies.
QByteArray followLinks(const QString &path)
{
    const QFileInfo info(path);
    return nativePath(info.isSymLink() ? info.canonicalFilePath() : path);
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
    enum State { Read, Missing, Unreadable } state = Missing;
    QString text;
};

// Reads the list file at `path` (none: Missing). With the turn, a write in place that was cut is
// put back first; a backup that stands and cannot be looked at or applied makes it Unreadable. A
// file whose text would be over the bound once saved is Unreadable too: it is kept as it is.
ListFile readList(Disk &disk, const QString &path, const char *backupName)
{
    const QByteArray target = path.isEmpty() ? QByteArray() : followLinks(path);
    if (target.isEmpty())
        return {};
    SafeFile file(disk, target, backupName, ScoreText::kMaxFileBytes);
    file.takeTurn(kTurnWaitMs);
    const SafeFile::Recovery recovery = file.recover();
    if (recovery == SafeFile::Recovery::Pending || recovery == SafeFile::Recovery::NoTurn)
        return {ListFile::Unreadable, {}};
    QByteArray bytes;
    switch (file.read(&bytes)) {
    case SafeFile::Read::Done:
        break;
    case SafeFile::Read::Missing:
        return {};
    default:
        return {ListFile::Unreadable, {}};
    }
    if (ScoreText::normalisedSize(bytes) > ScoreText::kMaxFileBytes)
        return {ListFile::Unreadable, {}};
    return {ListFile::Read, textOf(bytes)};
}

// Writes the list `text` that began as `base` to `path`, with its turn: the list plus the results
// that other games added to the file since `base`. `*written` receives the text written;
// `*pending` is set when a backup of an unfinished write stands that could not be applied.
Outcome writeList(Disk &disk, const QString &path, const QString &text, const QString &base,
                  const char *backupName, QString *written, bool *pending)
{
    // A link stays a link: the file at the end of the chain is the one replaced.
    const QByteArray target = path.isEmpty() ? QByteArray() : followLinks(path);
    if (target.isEmpty())
        return Outcome::NotCreated;
    SafeFile file(disk, target, backupName, ScoreText::kMaxFileBytes);
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
        // The file as the last load or save left it, the usual case, is not decoded once more: for
        // a large list that copy would carry the save's memory over the game's bound.
        theirs = Cp1251::decodesTo(bytes, base) ? base : textOf(bytes);
        break;
    case SafeFile::Read::Missing:
        break;
    default:
        return Outcome::NotCreated;
    }
    bytes.clear();
    *written = ScoreText::merge(base, text, theirs);
    theirs.reset();
    const QByteArray out = Cp1251::encode(*written);
    if (out.size() > ScoreText::kMaxFileBytes)
        return Outcome::TooLarge;
    switch (file.replace(out)) {
    case SafeFile::Outcome::Written:
        return Outcome::Written;
    case SafeFile::Outcome::NotCreated:
        return Outcome::NotCreated;
    case SafeFile::Outcome::NotWritten:
        break;
    }
    return Outcome::NotWritten;
}

// Removes the fallback once a save put in the score file every result that it held, the list having
// shown them: when it still holds `seen`, what this game last read of it. A fallback that another
// game wrote since is kept, and shown by the next start. Returns what the fallback now holds.
QString retireFallback(Disk &disk, const QString &seen)
{
    const QString path = AssetPath::resolve(QString::fromUtf16(kFallbackPath));
    // A link is the player's: kept.
    if (seen.isEmpty() || path.isEmpty() || QFileInfo(path).isSymLink())
        return seen;
    SafeFile file(disk, nativePath(path), kFallbackBackupName, ScoreText::kMaxFileBytes);
    QByteArray bytes;
    if (!file.takeTurn(kTurnWaitMs) || file.recover() != SafeFile::Recovery::Clean
        || file.read(&bytes) != SafeFile::Read::Done
        || !Cp1251::decodesTo(ScoreText::untilZero(bytes), seen))
        return seen;
    return file.remove() ? QString() : seen;
}

} // namespace

Loaded load(Disk &disk)
{
    const ListFile score =
        readList(disk, AssetPath::resolve(QString::fromUtf16(kPath)), kBackupName);
    const ListFile fallback =
        readList(disk, AssetPath::resolve(QString::fromUtf16(kFallbackPath)), kFallbackBackupName);
    Loaded loaded;
    loaded.fallbackText = fallback.text;
    if (score.state == ListFile::Read) {
        loaded.scoreText = score.text;
        // A result that a save had to leave in the fallback is shown, and the next save keeps it.
        loaded.text =
            ScoreText::joinLines(score.text, ScoreText::missingResults(fallback.text, score.text));
    } else {
        // The score file is not there or cannot be read: saves go to the fallback, which holds what
        // the sessions before saved there.
        loaded.unreadable = score.state == ListFile::Unreadable;
        loaded.text = fallback.text;
    }
    return loaded;
}

Loaded save(const QString &text, const Loaded &last, Disk &disk)
{
    bool unreadable = last.unreadable;
    QString written;
    if (!unreadable) {
        switch (writeList(disk, primaryTarget(), text, last.scoreText, kBackupName, &written,
                          &unreadable)) {
        case Outcome::Written:
            return {written, false, written, retireFallback(disk, last.fallbackText)};
        case Outcome::TooLarge:
            throw GameError(kTooLargeText);
        default:
            break; // to the fallback
        }
    }
    bool pending = false;
    switch (writeList(disk, fallbackTarget(), text, last.fallbackText, kFallbackBackupName,
                      &written, &pending)) {
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
