#include "score/ScoreFile.h"

#include "formats/Cp1251.h"
#include "formats/GameError.h"
#include "score/ScoreText.h"
#include "toolkit/AssetPath.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QThread>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <utility>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ScoreFile {

namespace {

// The directory of the score file, for creating the file when it is not there yet.
const QString kDataDir = QStringLiteral("base\\data");
// The file name of a new score file in that directory.
const QString kFileName = QStringLiteral("score.inf");
// What follows the target's name in the name of a temporary file; a file so named that stands in
// the folder while this game holds the folder's lock is left by a save that was killed.
const QByteArray kTemporaryTag = QByteArrayLiteral(".pemy-save-");
// Tries at a free name for the temporary file before giving up.
constexpr int kTemporaryNameTries = 64;
// The copy of a file that a write in place is about to change, in the working folder, kept until
// the new bytes are on disk: "<target>\n<old size> <new size> <SHA-256 of the new bytes>\n<old bytes>".
const char kBackupName[] = "score.inf.pemy-backup";
// Longest wait for another game's save to leave the folder, in milliseconds; then the save goes on.
constexpr int kLockWaitMs = 2000;
const QString kCrLf = QStringLiteral("\r\n");

enum class Outcome { Written, NotCreated, NotWritten };

// For each step, by test order: how many of its next occurrences pass, and how many then fail.
struct Failures {
    int passing;
    int failing;
};
std::array<Failures, int(Step::NameTaken) + 1> g_failures{};
// Where the next save kills the process, by test order.
Step g_killAt = Step::None;

// Whether `step` is to fail this time, as a failing disk would make it.
bool injectedFailure(Step step)
{
    Failures &failures = g_failures[int(step)];
    if (failures.passing > 0) {
        --failures.passing;
        return false;
    }
    if (failures.failing <= 0)
        return false;
    --failures.failing;
    return true;
}

// A descriptor, closed when this goes.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : m_fd(fd) {}
    Descriptor(Descriptor &&other) noexcept : m_fd(other.release()) {}
    ~Descriptor()
    {
        if (*this)
            close();
    }
    Descriptor &operator=(Descriptor &&) = delete;

    // Whether it is open.
    explicit operator bool() const { return m_fd != kClosed; }
    int get() const { return m_fd; }
    // Closes it now; false when the close reports an error (on a network file system, a write
    // that failed late).
    bool close() { return ::close(release()) == 0; }
    // Hands the descriptor over; this no longer closes it.
    int release() { return std::exchange(m_fd, kClosed); }

private:
    // What open() gives on failure.
    static constexpr int kClosed = -1;
    int m_fd = kClosed;
};

QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

QByteArray folderOf(const QByteArray &path)
{
    return nativePath(QFileInfo(QFile::decodeName(path)).absolutePath());
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
    const QString existing = AssetPath::resolve(QString::fromUtf16(kPath));
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

// One read or write of a loop that goes on after EINTR; a test can make it interrupted, or fail.
template <typename Call>
ssize_t interruptible(Call call)
{
    if (injectedFailure(Step::Interrupted)) {
        errno = EINTR;
        return -1;
    }
    if (injectedFailure(Step::IoError)) {
        errno = EIO;
        return -1;
    }
    return call();
}

// Reads `fd` to its end into the empty `bytes`.
bool readAll(int fd, QByteArray *bytes)
{
    char chunk[65536];
    for (;;) {
        const ssize_t n = interruptible([&] { return ::read(fd, chunk, sizeof chunk); });
        if (n == -1) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return true;
        bytes->append(chunk, n);
    }
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        if (injectedFailure(Step::Write))
            return false;
        const ssize_t n = interruptible(
            [&] { return ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done), done); });
        if (n == -1) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += n;
    }
    return true;
}

// Stops the process at `step` when a test asked for it, as a kill would half-way through writing
// `bytes`: once their first half stands at the start of `fd`.
void killPoint(Step step, int fd, const QByteArray &bytes)
{
    if (g_killAt != step)
        return;
    if (writeAll(fd, bytes.left(bytes.size() / 2)))
        ::raise(SIGKILL);
}

bool syncToDisk(int fd)
{
    return !injectedFailure(Step::Sync) && ::fsync(fd) == 0;
}

// Opens the regular file `path` (`access` O_RDONLY or O_RDWR) and reads it whole into `*bytes`.
// Closed when it is not there (`*missing` set), not a regular file, over `maxBytes` or cannot be
// read. Never blocks on a FIFO.
Descriptor openAndRead(const QByteArray &path, int access, QByteArray *bytes, bool *missing = nullptr,
                       qint64 maxBytes = std::numeric_limits<qint64>::max())
{
    Descriptor fd(::open(path.constData(), access | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (missing)
        *missing = !fd && errno == ENOENT;
    struct stat status {};
    if (!fd || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > maxBytes
        || !readAll(fd.get(), bytes))
        return {};
    return fd;
}

// The bytes of the regular file `path`, or nothing when it is not there (`*missing` set) or cannot
// be read. A file beyond the list's memory bound is not read: it counts as one that cannot be read,
// so it stays as it is and saves go to the fallback.
std::optional<QByteArray> readFile(const QByteArray &path, bool *missing = nullptr)
{
    QByteArray bytes;
    if (!openAndRead(path, O_RDONLY, &bytes, missing, ScoreText::kMaxFileBytes))
        return std::nullopt;
    return bytes;
}

QString textOf(const QByteArray &bytes)
{
    return ScoreText::normaliseLineBreaks(Cp1251::decode(ScoreText::untilZero(bytes)));
}

// Puts the entries of the open folder `fd` on disk; a folder that cannot be opened cannot be
// synced, and passes.
bool syncFolder(const Descriptor &fd)
{
    return !fd || (!injectedFailure(Step::SyncFolder) && ::fsync(fd.get()) == 0);
}

// An open folder, locked against the saves of other games while this lives (when the lock could
// be had within kLockWaitMs; the descriptor's close ends it).
class Folder {
public:
    explicit Folder(const QByteArray &path)
        : m_fd(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)), m_locked(m_fd && lock(m_fd.get()))
    {
    }

    bool locked() const { return m_locked; }
    bool sync() const { return syncFolder(m_fd); }

private:
    static bool lock(int fd)
    {
        const QDeadlineTimer deadline(kLockWaitMs);
        for (;;) {
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
                return true;
            if (errno != EWOULDBLOCK || deadline.hasExpired())
                return false;
            QThread::msleep(10);
        }
    }

    Descriptor m_fd;
    const bool m_locked;
};

// Removes the temporary files of `target` that saves killed half-way left in `folder`. Only while
// the folder is locked: a save of another game holds the lock while its temporary file stands.
void removeStaleTemporaries(const Folder &folder, const QByteArray &target)
{
    if (!folder.locked())
        return;
    const QFileInfo info(QFile::decodeName(target));
    const QString prefix = info.fileName() + QFile::decodeName(kTemporaryTag);
    for (const QString &name : info.dir().entryList(QDir::Files | QDir::System | QDir::Hidden)) {
        if (name.startsWith(prefix))
            ::unlink(nativePath(info.dir().filePath(name)).constData());
    }
}

// Creates a new empty file beside `target`, with the owner and permissions of `existing` when given
// (else the usual ones under the umask). Returns its descriptor and path; none when the directory
// refuses it or the owner cannot be kept.
Descriptor createTemporary(const QByteArray &target, const struct stat *existing, QByteArray *path)
{
    if (injectedFailure(Step::Create))
        return {};
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        *path = target + kTemporaryTag + QByteArray::number(QRandomGenerator::global()->generate());
        if (injectedFailure(Step::NameTaken)) {
            QFile other(QFile::decodeName(*path));
            if (other.open(QIODevice::WriteOnly | QIODevice::NewOnly))
                other.write("taken");
        }
        Descriptor fd(::open(path->constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd && errno == EEXIST)
            continue;
        if (!fd || !existing)
            return fd;
        // The owner first: a change of owner clears the set-id bits that the mode then restores.
        if (::fchown(fd.get(), existing->st_uid, existing->st_gid) == 0) {
            ::fchmod(fd.get(), existing->st_mode & 07777); // a failure only leaves the usual permissions
            return fd;
        }
        ::unlink(path->constData());
        return {};
    }
    return {};
}

// Replaces `target` through a temporary file in the same directory: the bytes are written and
// synced to disk before the rename, so `target` changes only when every byte is on disk, and any
// failure removes the temporary file and leaves `target` as it was. The rename reaching the disk
// (the folder synced) is part of the write.
Outcome replaceAtomically(const Folder &folder, const QByteArray &target, const QByteArray &bytes,
                          const struct stat *existing)
{
    QByteArray temporary;
    Descriptor fd = createTemporary(target, existing, &temporary);
    if (!fd)
        return Outcome::NotCreated;
    killPoint(Step::Write, fd.get(), bytes);
    bool written = writeAll(fd.get(), bytes) && syncToDisk(fd.get());
    written = fd.close() && written;
    written = written && !injectedFailure(Step::Rename) && ::rename(temporary.constData(), target.constData()) == 0;
    if (!written) {
        ::unlink(temporary.constData());
        return Outcome::NotWritten;
    }
    return folder.sync() ? Outcome::Written : Outcome::NotWritten;
}

QByteArray digest(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// Writes `old` over what the regular file `fd` holds, whole and on disk.
bool putBack(int fd, const QByteArray &old)
{
    return writeAll(fd, old) && ::ftruncate(fd, old.size()) == 0 && syncToDisk(fd);
}

// Keeps `old`, what `target` holds before a write in place of `bytes`, in the working folder, on
// disk before the write begins. False when the working folder refuses it.
bool writeBackup(const QByteArray &target, const QByteArray &old, const QByteArray &bytes)
{
    Descriptor fd(injectedFailure(Step::Create) ? -1 : ::open(kBackupName, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!fd)
        return false;
    const QByteArray copy = target + '\n' + QByteArray::number(old.size()) + ' ' + QByteArray::number(bytes.size())
                            + ' ' + digest(bytes) + '\n' + old;
    killPoint(Step::Create, fd.get(), copy);
    bool written = writeAll(fd.get(), copy) && syncToDisk(fd.get());
    written = fd.close() && written && syncFolder(Descriptor(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
    if (!written)
        ::unlink(kBackupName);
    return written;
}

// Writes `bytes` over the existing regular file `target`, for a directory that refuses the
// temporary file (no write access to it, no free inode) or a file whose owner a new file could not
// keep. Safe where it matters:
// - the old bytes are first copied to the working folder, and put back from there at the next start
//   should the write be cut (killed, power lost); without that copy nothing is written;
// - the space for every byte beyond the old length is claimed (fallocate, size kept) before the
//   first old byte is overwritten; where it cannot be claimed, or the file system cannot claim
//   space ahead, nothing is written;
// - overwriting bytes that the file already holds takes no new space on the usual file systems,
//   and the file is cut to the new length only after every new byte is written;
// - should a write still fail half-way (an I/O error, or a copy-on-write file system that needs
//   space even to overwrite), the old bytes are put back at once; they fit where they were.
// A failure leaves the file as it was and sends the text to the fallback.
Outcome overwriteInPlace(const QByteArray &target, const QByteArray &bytes)
{
    QByteArray old;
    const Descriptor fd = openAndRead(target, O_RDWR, &old);
    if (!fd)
        return Outcome::NotCreated;
    if (bytes.size() > old.size() && ::fallocate(fd.get(), FALLOC_FL_KEEP_SIZE, 0, bytes.size()) != 0)
        return Outcome::NotWritten;
    if (!writeBackup(target, old, bytes))
        return Outcome::NotCreated;
    killPoint(Step::Write, fd.get(), bytes);
    const bool written = writeAll(fd.get(), bytes)
                         && (bytes.size() >= old.size() || ::ftruncate(fd.get(), bytes.size()) == 0)
                         && syncToDisk(fd.get());
    killPoint(Step::Sync, fd.get(), {});
    // The copy goes once the file holds whole bytes again, new or old; else the next start uses it.
    if (written || putBack(fd.get(), old))
        ::unlink(kBackupName);
    return written ? Outcome::Written : Outcome::NotWritten;
}

// Puts back the file that a write in place left unfinished, from the copy in the working folder.
// False while a copy stands that could not be used: the file it names may hold a mix of old and
// new bytes.
bool restoreUnfinishedWrite()
{
    bool missing = false;
    const std::optional<QByteArray> backup = readFile(kBackupName, &missing);
    if (!backup)
        return missing;
    const qsizetype targetEnd = backup->indexOf('\n');
    const qsizetype headerEnd = backup->indexOf('\n', targetEnd + 1);
    const QList<QByteArray> sizes = backup->mid(targetEnd + 1, headerEnd - targetEnd - 1).split(' ');
    const QByteArray old = backup->mid(headerEnd + 1);
    if (sizes.size() != 3 || sizes[0].toLongLong() != old.size()) {
        // Cut before it was whole: the write had not begun.
        ::unlink(kBackupName);
        return true;
    }
    const QByteArray target = backup->left(targetEnd);
    const Folder folder(folderOf(target));
    QByteArray now;
    const Descriptor fd = openAndRead(target, O_RDWR, &now);
    if (!fd)
        return false;
    const bool finished = now == old || (now.size() == sizes[1].toLongLong() && digest(now) == sizes[2]);
    const bool whole = finished || putBack(fd.get(), old);
    if (whole)
        ::unlink(kBackupName);
    return whole;
}

// The lines of `text`, without the empty piece after a final break.
QList<QStringView> linesOf(const QString &text)
{
    QList<QStringView> lines = QStringView(text).split(kCrLf); // never empty
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// Whether `text` is `start` followed by nothing or by whole lines.
bool extendsByLines(const QString &text, const QString &start)
{
    return text.startsWith(start)
           && (start.isEmpty() || start.endsWith(kCrLf) || QStringView(text).mid(start.size()).startsWith(kCrLf));
}

// `text` and then `lines`, a line break between them where neither brings one, none added twice.
QString joinLines(const QString &text, QStringView lines)
{
    const bool ended = text.isEmpty() || text.endsWith(kCrLf);
    QString joined = text;
    if (ended && lines.startsWith(kCrLf))
        lines = lines.mid(kCrLf.size());
    else if (!ended && !lines.isEmpty() && !lines.startsWith(kCrLf))
        joined += kCrLf;
    return joined.append(lines);
}

// What a save writes over `theirs`, the text of the file now (nothing: no file), for the list `ours`
// that began as `base`.
QString merge(const QString &base, const QString &ours, const std::optional<QString> &theirs)
{
    if (!theirs || *theirs == base || *theirs == ours)
        return ours;
    if (extendsByLines(*theirs, base)) {
        if (extendsByLines(ours, base))
            return joinLines(*theirs, QStringView(ours).mid(base.size()));
        return joinLines(ours, QStringView(*theirs).mid(base.size()));
    }
    QHash<QStringView, int> held;
    for (const QStringView line : linesOf(ours))
        ++held[line];
    QString missing;
    for (const QStringView line : linesOf(*theirs)) {
        if (held[line]-- <= 0)
            missing.append(line).append(kCrLf);
    }
    return joinLines(ours, missing);
}

// Writes the list `text` that began as `base` to `path`: through a temporary file, or in place
// where the directory refuses one. A FIFO, a device or a directory at `path`, and a file that
// cannot be both read and written, are left alone. `*written` receives the text written.
Outcome writeFile(const QString &path, const QString &text, const QString &base, QString *written)
{
    // A link stays a link: the file at the end of the chain is the one replaced.
    const QByteArray target = followLinks(path);
    if (target.isEmpty())
        return Outcome::NotCreated;
    const Folder folder(folderOf(target));
    removeStaleTemporaries(folder, target);
    struct stat status {};
    const bool exists = ::stat(target.constData(), &status) == 0;
    if (exists && (!S_ISREG(status.st_mode) || ::faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) != 0))
        return Outcome::NotCreated;
    std::optional<QString> theirs;
    if (exists) {
        const std::optional<QByteArray> bytes = readFile(target);
        if (!bytes)
            return Outcome::NotCreated;
        // The file as the last load or save left it, the usual case, is not decoded once more: for a
        // large list that copy would carry the save's memory over the game's bound.
        theirs = Cp1251::decodesTo(*bytes, base) ? base : textOf(*bytes);
    }
    *written = merge(base, text, theirs);
    const QByteArray bytes = Cp1251::encode(*written);
    const Outcome outcome = replaceAtomically(folder, target, bytes, exists ? &status : nullptr);
    if (outcome == Outcome::NotCreated && exists)
        return overwriteInPlace(target, bytes);
    return outcome;
}

} // namespace

Loaded load()
{
    const bool restored = restoreUnfinishedWrite();
    Loaded loaded;
    const QString path = AssetPath::resolve(QString::fromUtf16(kPath));
    bool missing = path.isEmpty();
    if (restored && !missing) {
        if (const std::optional<QByteArray> bytes = readFile(nativePath(path), &missing))
            return {textOf(*bytes), false};
    }
    loaded.unreadable = !missing;
    // The score file is not there or cannot be read: saves go to the fallback, which holds what the
    // sessions before saved there.
    const QString fallback = AssetPath::resolve(QString::fromUtf16(kFallbackPath));
    if (!fallback.isEmpty()) {
        if (const std::optional<QByteArray> bytes = readFile(nativePath(fallback)))
            loaded.text = textOf(*bytes);
    }
    return loaded;
}

Loaded save(const QString &text, const Loaded &last)
{
    const bool restored = restoreUnfinishedWrite();
    const bool unreadable = last.unreadable || !restored;
    QString written;
    if (!unreadable && writeFile(primaryTarget(), text, last.text, &written) == Outcome::Written)
        return {written, false};
    switch (writeFile(fallbackTarget(), text, last.text, &written)) {
    case Outcome::Written:
        return {written, unreadable};
    case Outcome::NotCreated:
        throw GameError(QStringLiteral("Cannot create file ") + QString::fromUtf16(kFallbackPath));
    case Outcome::NotWritten:
        throw GameError(QStringLiteral("Stream write error"));
    }
    return last;
}

void failForTesting(Step step, int times, int after)
{
    if (step == Step::None)
        g_failures.fill({});
    else
        g_failures[int(step)] = {after, times};
}

void killForTesting(Step step)
{
    g_killAt = step;
}

} // namespace ScoreFile
