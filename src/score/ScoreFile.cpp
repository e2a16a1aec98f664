#include "score/ScoreFile.h"

#include "score/ScoreText.h"
#include "toolkit/AssetPath.h"
#include "formats/Cp1251.h"
#include "formats/GameError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ScoreFile {

namespace {

// The directory of the score file, for creating the file when it is not there yet.
const QString kDataDir = QStringLiteral("base\\data");
// The file name of a new score file in that directory.
const QString kFileName = QStringLiteral("score.inf");
// Tries at a free name for the temporary file before giving up.
constexpr int kTemporaryNameTries = 64;

enum class Outcome { Written, NotCreated, NotWritten };

// How many more times each step is to fail, by test order.
std::array<int, int(Step::Rename) + 1> g_failuresLeft{};

// Whether `step` is to fail this time, as the disk would (with EIO).
bool injectedFailure(Step step)
{
    int &left = g_failuresLeft[int(step)];
    if (left <= 0)
        return false;
    --left;
    errno = EIO;
    return true;
}

QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

// The file a save of the score file replaces: the existing one, whatever the letter case of its
// path, or a new one in an existing data directory. Empty when there is no data directory.
QString primaryTarget()
{
    const QString existing = AssetPath::resolve(QString::fromUtf16(kPath));
    if (!existing.isEmpty())
        return existing;
    const QString dir = AssetPath::resolve(kDataDir);
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        return {};
    return QDir(dir).filePath(kFileName);
}

QString fallbackTarget()
{
    const QString existing = AssetPath::resolve(QString::fromUtf16(kFallbackPath));
    return existing.isEmpty() ? QString::fromUtf16(kFallbackPath) : existing;
}

// Reads `fd` to its end.
bool readAll(int fd, QByteArray *bytes, qint64 sizeHint)
{
    bytes->clear();
    bytes->reserve(qMax<qint64>(sizeHint, 0) + 1);
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
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
        const ssize_t n = ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done), done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

bool syncToDisk(int fd)
{
    return !injectedFailure(Step::Sync) && ::fsync(fd) == 0;
}

// Creates a new empty file beside `target`, with the permissions of `existing` when given (else the
// usual ones under the umask). Returns its descriptor and path, or -1 when the directory refuses it.
int createTemporary(const QByteArray &target, const struct stat *existing, QByteArray *path)
{
    if (injectedFailure(Step::Create))
        return -1;
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        *path = target + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        const int fd = ::open(path->constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            if (existing)
                ::fchmod(fd, existing->st_mode & 07777); // a failure only leaves the usual permissions
            return fd;
        }
        if (errno != EEXIST)
            return -1;
    }
    return -1;
}

// Replaces `target` through a temporary file in the same directory: the bytes are written and
// synced to disk before the rename, so `target` changes only when every byte is on disk, and any
// failure removes the temporary file and leaves `target` as it was.
Outcome replaceAtomically(const QByteArray &target, const QByteArray &bytes, const struct stat *existing)
{
    QByteArray temporary;
    const int fd = createTemporary(target, existing, &temporary);
    if (fd < 0)
        return Outcome::NotCreated;
    bool written = writeAll(fd, bytes) && syncToDisk(fd);
    written = ::close(fd) == 0 && written;
    written = written && !injectedFailure(Step::Rename)
              && ::rename(temporary.constData(), target.constData()) == 0;
    if (!written) {
        ::unlink(temporary.constData());
        return Outcome::NotWritten;
    }
    // The rename reaching the disk as well; the file is already whole either way.
    const QByteArray dir = nativePath(QFileInfo(QFile::decodeName(target)).absolutePath());
    if (const int dirFd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return Outcome::Written;
}

// Writes `bytes` over the existing regular file `target`, for a directory that refuses the
// temporary file (no write access to it, no free inode) while the file itself is writable. Safe
// where it matters, on a full disk:
// - the space for every byte beyond the old length is claimed (fallocate, size kept) before the
//   first old byte is overwritten; where it cannot be claimed, or the file system cannot claim
//   space ahead, nothing is written;
// - overwriting bytes that the file already holds takes no new space on the usual file systems,
//   and the file is cut to the new length only after every new byte is written;
// - should a write still fail half-way (an I/O error, or a copy-on-write file system that needs
//   space even to overwrite), the old bytes, read before, are put back; they fit where they were.
// A failure leaves the file as it was and sends the text to the fallback. Only a kill in the
// middle can leave a mix of old and new bytes, which is why this is the last resort, used only
// where the replacement through a temporary file is impossible.
Outcome overwriteInPlace(const QByteArray &target, const QByteArray &bytes)
{
    const int fd = ::open(target.constData(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return Outcome::NotCreated;
    struct stat status {};
    QByteArray old;
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || !readAll(fd, &old, status.st_size)) {
        ::close(fd);
        return Outcome::NotCreated;
    }
    if (bytes.size() > old.size() && ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, bytes.size()) != 0) {
        ::close(fd);
        return Outcome::NotWritten;
    }
    const bool written = writeAll(fd, bytes)
                         && (bytes.size() >= old.size() || ::ftruncate(fd, bytes.size()) == 0)
                         && syncToDisk(fd);
    if (!written) {
        writeAll(fd, old);
        ::ftruncate(fd, old.size());
        ::fsync(fd);
    }
    ::close(fd);
    return written ? Outcome::Written : Outcome::NotWritten;
}

// Writes `bytes` to `path`: through a temporary file, or in place where the directory refuses
// one. A FIFO, a device or a directory at `path`, and a write-protected file, are left alone.
Outcome writeFile(const QString &path, const QByteArray &bytes)
{
    if (path.isEmpty())
        return Outcome::NotCreated;
    // A link stays a link: the file it points to is the one replaced.
    const QFileInfo info(path);
    const QByteArray target = nativePath(info.isSymLink() ? info.symLinkTarget() : path);
    struct stat status {};
    const bool exists = ::stat(target.constData(), &status) == 0;
    if (exists && (!S_ISREG(status.st_mode) || ::faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) != 0))
        return Outcome::NotCreated;
    const Outcome outcome = replaceAtomically(target, bytes, exists ? &status : nullptr);
    if (outcome == Outcome::NotCreated && exists)
        return overwriteInPlace(target, bytes);
    return outcome;
}

} // namespace

Loaded load()
{
    const QString path = AssetPath::resolve(QString::fromUtf16(kPath));
    if (path.isEmpty())
        return {};
    // Non-blocking, so that a FIFO without a writer cannot hold the start-up; it is refused below.
    const int fd = ::open(nativePath(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return {QString(), errno != ENOENT};
    struct stat status {};
    QByteArray bytes;
    const bool read = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)
                      && readAll(fd, &bytes, status.st_size);
    ::close(fd);
    if (!read)
        return {QString(), true};
    return {ScoreText::normaliseLineBreaks(Cp1251::decode(ScoreText::untilZero(bytes))), false};
}

void save(const QString &text, bool scoreFileUnreadable)
{
    const QByteArray bytes = Cp1251::encode(text);
    if (!scoreFileUnreadable && writeFile(primaryTarget(), bytes) == Outcome::Written)
        return;
    switch (writeFile(fallbackTarget(), bytes)) {
    case Outcome::Written:
        return;
    case Outcome::NotCreated:
        throw GameError(QStringLiteral("Cannot create file ") + QString::fromUtf16(kFallbackPath));
    case Outcome::NotWritten:
        throw GameError(QStringLiteral("Stream write error"));
    }
}

void failForTesting(Step step, int times)
{
    if (step == Step::None)
        g_failuresLeft.fill(0);
    else
        g_failuresLeft[int(step)] = times;
}

} // namespace ScoreFile
