#include "score/SafeFile.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QRandomGenerator>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// What follows the target's name in the name of a temporary file; a file so named that stands in
// the folder while this game holds the turn is left by a save that was killed.
const QByteArray kTemporaryTag = QByteArrayLiteral(".pemy-save-");
// Tries at a free name for the temporary file before giving up.
constexpr int kTemporaryNameTries = 64;
// The first line of a backup, naming its format.
const QByteArray kBackupMagic = QByteArrayLiteral("PEMY-BACKUP 1");
// What a backup is written as until it is whole; renamed to the backup's name then.
const QByteArray kUnfinishedTag = QByteArrayLiteral(".part");
// What a backup that did not apply is renamed to, followed by the time in milliseconds.
const QByteArray kSetAsideTag = QByteArrayLiteral(".set-aside-");
// Room for the backup's header lines beyond the two copies it holds.
constexpr qsizetype kBackupHeaderBytes = 512;
// How often a game that waits for the turn tries again, in milliseconds.
constexpr int kTurnPollMs = 10;
// Bytes asked of one read.
constexpr qsizetype kReadChunk = 65536;

// A descriptor, closed through the disk when this goes.
class Descriptor {
public:
    Descriptor(Disk &disk, int fd) : m_disk(disk), m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            m_disk.close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    explicit operator bool() const { return m_fd >= 0; }
    int get() const { return m_fd; }
    // Hands the descriptor over; this no longer closes it.
    int release() { return std::exchange(m_fd, -1); }
    // Closes it now; false when the close reports an error (on a network file system, a write
    // that failed late).
    bool close() { return m_disk.close(std::exchange(m_fd, -1)) == 0; }

private:
    Disk &m_disk;
    int m_fd;
};

QByteArray folderOf(const QByteArray &path)
{
    return QFile::encodeName(QFileInfo(QFile::decodeName(path)).absolutePath());
}

QByteArray digest(QByteArrayView bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// Whether `now` is what a write in place of `bytes` over `old`, cut anywhere, leaves: the new
// bytes' beginning, then the old bytes' rest (a longer text's space is claimed ahead with the size
// kept).
bool isCutWrite(QByteArrayView now, QByteArrayView old, QByteArrayView bytes)
{
    qsizetype common = 0;
    const qsizetype most = std::min(now.size(), bytes.size());
    while (common < most && now[common] == bytes[common])
        ++common;
    if (common >= old.size())
        return now.size() == common;
    return now.size() == old.size() && now.sliced(common) == old.sliced(common);
}

// The fields of a backup's header, when it is whole and well formed.
struct Backup {
    dev_t device = 0;
    ino_t inode = 0;
    QByteArray old;
    QByteArray bytes;
};

// Parses a backup: the format line, "<device> <inode>", "<old size> <SHA-256>", "<new size>
// <SHA-256>", then the old bytes and the new ones. False when any part of it is wrong.
bool parseBackup(const QByteArray &raw, Backup *backup)
{
    QList<QByteArrayView> lines;
    qsizetype start = 0;
    for (int i = 0; i < 4; ++i) {
        const qsizetype end = raw.indexOf('\n', start);
        if (end < 0)
            return false;
        lines.append(QByteArrayView(raw).sliced(start, end - start));
        start = end + 1;
    }
    const auto numbers = [](QByteArrayView line, qulonglong *first, QByteArray *second) {
        const qsizetype space = line.indexOf(' ');
        bool ok = space > 0;
        *first = ok ? line.first(space).toByteArray().toULongLong(&ok) : 0;
        *second = ok ? line.sliced(space + 1).toByteArray() : QByteArray();
        return ok;
    };
    qulonglong device = 0, oldSize = 0, newSize = 0;
    QByteArray inode, oldHash, newHash;
    bool inodeOk = false;
    if (lines[0] != kBackupMagic || !numbers(lines[1], &device, &inode)
        || !numbers(lines[2], &oldSize, &oldHash) || !numbers(lines[3], &newSize, &newHash))
        return false;
    backup->inode = inode.toULongLong(&inodeOk);
    if (!inodeOk || qulonglong(raw.size() - start) != oldSize + newSize)
        return false;
    backup->device = dev_t(device);
    backup->old = raw.mid(start, qsizetype(oldSize));
    backup->bytes = raw.mid(start + qsizetype(oldSize));
    return digest(backup->old) == oldHash && digest(backup->bytes) == newHash;
}

} // namespace

SafeFile::SafeFile(Disk &disk, const QByteArray &target, const QByteArray &backup,
                   qsizetype maxBytes)
    : m_disk(disk), m_target(target), m_backup(backup), m_maxBytes(maxBytes)
{
}

SafeFile::~SafeFile()
{
    if (m_folder >= 0)
        m_disk.close(m_folder); // ends the turn
}

bool SafeFile::takeTurn(int waitMs)
{
    if (hasTurn())
        return true;
    if (m_folder < 0)
        m_folder = m_disk.open(folderOf(m_target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_folder < 0)
        return false;
    const QDeadlineTimer deadline(waitMs);
    for (;;) {
        if (m_disk.flock(m_folder, LOCK_EX | LOCK_NB) == 0)
            return m_locked = true;
        if (errno != EWOULDBLOCK || deadline.hasExpired())
            return false;
        QThread::msleep(kTurnPollMs);
    }
}

SafeFile::Read SafeFile::readBounded(Disk &disk, const QByteArray &path, int flags,
                                     qsizetype maxBytes, QByteArray *bytes, int *fdOut)
{
    if (fdOut)
        *fdOut = -1;
    const int fd = disk.open(path.constData(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? Read::Missing : Read::Unreadable;
    Descriptor owned(disk, fd);
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return Read::Unreadable;
    if (status.st_size > maxBytes)
        return Read::TooLarge;
    // One byte beyond the size it reports: a file that yields it (a /proc file says 0) is no plain
    // file, and is never read further.
    const qsizetype limit = qsizetype(status.st_size) + 1;
    bytes->resize(limit);
    qsizetype done = 0;
    while (done < limit) {
        const ssize_t n =
            disk.read(fd, bytes->data() + done, size_t(std::min(kReadChunk, limit - done)));
        if (n == -1 && errno == EINTR)
            continue;
        if (n == -1) {
            bytes->clear();
            return Read::Unreadable;
        }
        if (n == 0)
            break;
        done += n;
    }
    bytes->resize(std::min(done, limit - 1));
    if (done == limit) {
        bytes->clear();
        return Read::Unreadable;
    }
    if (fdOut)
        *fdOut = owned.release();
    return Read::Done;
}

SafeFile::Read SafeFile::read(QByteArray *bytes) const
{
    return readBounded(m_disk, m_target, O_RDONLY, m_maxBytes, bytes);
}

bool SafeFile::writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            m_disk.pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done), done);
        if (n == -1 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// Writes `old` over what the regular file `fd` holds, whole and on disk.
bool SafeFile::putBack(int fd, const QByteArray &old)
{
    return writeAll(fd, old) && m_disk.ftruncate(fd, old.size()) == 0 && m_disk.fsync(fd) == 0;
}

void SafeFile::setBackupAside()
{
    const QByteArray aside =
        m_backup + kSetAsideTag + QByteArray::number(QDateTime::currentMSecsSinceEpoch());
    m_disk.rename(m_backup.constData(), aside.constData()); // a failure leaves it, never applied
}

void SafeFile::removeStaleTemporaries()
{
    const QFileInfo info(QFile::decodeName(m_target));
    const QString prefix = info.fileName() + QFile::decodeName(kTemporaryTag);
    for (const QString &name : info.dir().entryList(QDir::Files | QDir::System | QDir::Hidden)) {
        if (name.startsWith(prefix))
            m_disk.unlink(QFile::encodeName(info.dir().filePath(name)).constData());
    }
    m_disk.unlink((m_backup + kUnfinishedTag).constData());
}

SafeFile::Recovery SafeFile::recover()
{
    struct stat status {};
    const bool stands = ::lstat(m_backup.constData(), &status) == 0;
    if (!hasTurn())
        return stands ? Recovery::NoTurn : Recovery::Clean;
    removeStaleTemporaries();
    if (!stands)
        return Recovery::Clean;
    QByteArray raw;
    Backup backup;
    if (readBounded(m_disk, m_backup, O_RDONLY | O_NOFOLLOW, 2 * m_maxBytes + kBackupHeaderBytes,
                    &raw)
            != Read::Done
        || !parseBackup(raw, &backup) || ::stat(m_target.constData(), &status) != 0
        || status.st_dev != backup.device || status.st_ino != backup.inode) {
        setBackupAside();
        return Recovery::SetAside;
    }
    raw.clear();
    QByteArray now;
    const Read read = readBounded(m_disk, m_target, O_RDONLY, m_maxBytes, &now);
    if (read != Read::Done)
        return Recovery::Pending;
    if (now == backup.bytes || now == backup.old) {
        m_disk.unlink(m_backup.constData());
        return Recovery::Clean;
    }
    // The file changed after the write this backup protects: what it holds was saved since.
    if (!isCutWrite(now, backup.old, backup.bytes)) {
        setBackupAside();
        return Recovery::SetAside;
    }
    const Descriptor fd(
        m_disk, m_disk.open(m_target.constData(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd || !putBack(fd.get(), backup.old))
        return Recovery::Pending;
    m_disk.unlink(m_backup.constData());
    return Recovery::Restored;
}

SafeFile::Outcome SafeFile::replace(const QByteArray &bytes)
{
    if (!hasTurn() || bytes.size() > m_maxBytes)
        return Outcome::NotCreated;
    struct stat status {};
    const bool exists = ::stat(m_target.constData(), &status) == 0;
    if (exists
        && (!S_ISREG(status.st_mode)
            || ::faccessat(AT_FDCWD, m_target.constData(), W_OK, AT_EACCESS) != 0))
        return Outcome::NotCreated;
    const Outcome outcome = replaceThroughTemporary(bytes, exists, status);
    if (outcome == Outcome::NotCreated && exists)
        return overwriteInPlace(bytes);
    return outcome;
}

bool SafeFile::remove()
{
    if (!hasTurn() || m_disk.unlink(m_target.constData()) != 0)
        return false;
    m_disk.fsyncFolder(m_folder); // a removal that does not reach the disk only leaves the file
    return true;
}

// Creates a new empty file beside the target, with the owner and permissions of the existing
// target (else the usual ones under the umask). -1 when the folder refuses it or the owner cannot
// be kept.
int SafeFile::createTemporary(bool exists, const struct stat &status, QByteArray *path)
{
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        *path =
            m_target + kTemporaryTag + QByteArray::number(QRandomGenerator::global()->generate());
        const int fd = m_disk.open(path->constData(),
                                   O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0 || !exists)
            return fd;
        // The owner first: a change of owner clears the set-id bits that the mode then restores.
        if (::fchown(fd, status.st_uid, status.st_gid) == 0) {
            ::fchmod(fd, status.st_mode & 07777); // a failure only leaves the usual permissions
            return fd;
        }
        m_disk.close(fd);
        m_disk.unlink(path->constData());
        return -1;
    }
    return -1;
}

SafeFile::Outcome SafeFile::replaceThroughTemporary(const QByteArray &bytes, bool exists,
                                                    const struct stat &status)
{
    QByteArray temporary;
    Descriptor fd(m_disk, createTemporary(exists, status, &temporary));
    if (!fd)
        return Outcome::NotCreated;
    bool written = writeAll(fd.get(), bytes) && m_disk.fsync(fd.get()) == 0;
    written = fd.close() && written;
    written = written && m_disk.rename(temporary.constData(), m_target.constData()) == 0;
    if (!written) {
        m_disk.unlink(temporary.constData());
        return Outcome::NotWritten;
    }
    return m_disk.fsyncFolder(m_folder) == 0 ? Outcome::Written : Outcome::NotWritten;
}

// Keeps the old bytes and the new ones in the backup, on disk before the write begins: written
// whole under another name, then renamed. False when its folder refuses it, or a backup stands.
bool SafeFile::writeBackup(int target, const QByteArray &old, const QByteArray &bytes)
{
    struct stat existing {};
    if (::lstat(m_backup.constData(), &existing) == 0 || errno != ENOENT)
        return false;
    struct stat status {};
    if (::fstat(target, &status) != 0)
        return false;
    const QByteArray unfinished = m_backup + kUnfinishedTag;
    m_disk.unlink(unfinished.constData());
    Descriptor fd(m_disk,
                  m_disk.open(unfinished.constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd)
        return false;
    const QByteArray copy = kBackupMagic + '\n' + QByteArray::number(qulonglong(status.st_dev))
        + ' ' + QByteArray::number(qulonglong(status.st_ino)) + '\n'
        + QByteArray::number(old.size()) + ' ' + digest(old) + '\n'
        + QByteArray::number(bytes.size()) + ' ' + digest(bytes) + '\n' + old + bytes;
    bool written = writeAll(fd.get(), copy) && m_disk.fsync(fd.get()) == 0;
    written =
        fd.close() && written && m_disk.rename(unfinished.constData(), m_backup.constData()) == 0;
    if (!written) {
        m_disk.unlink(unfinished.constData());
        return false;
    }
    const Descriptor folder(
        m_disk, m_disk.open(folderOf(m_backup).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder && m_disk.fsyncFolder(folder.get()) != 0) {
        m_disk.unlink(m_backup.constData());
        return false;
    }
    return true;
}

// Writes `bytes` over the existing regular file, for a folder that refuses the temporary file (no
// write access to it, no free inode) or a file whose owner a new file could not keep. Safe where
// it matters:
// - the old bytes (and the new) are first kept in the backup, and put back from there at the next
//   turn should the write be cut (killed, power lost); without that copy nothing is written;
// - the space for every byte beyond the old length is claimed (size kept) before the first old byte
//   is overwritten; where it cannot be claimed nothing is written;
// - the file is cut to the new length only after every new byte is written;
// - should a write still fail half-way, the old bytes are put back at once; they fit where they
// were.
SafeFile::Outcome SafeFile::overwriteInPlace(const QByteArray &bytes)
{
    QByteArray old;
    int raw = -1;
    if (readBounded(m_disk, m_target, O_RDWR, m_maxBytes, &old, &raw) != Read::Done)
        return Outcome::NotCreated;
    const Descriptor fd(m_disk, raw);
    if (bytes.size() > old.size() && m_disk.reserve(fd.get(), bytes.size()) != 0)
        return Outcome::NotWritten;
    if (!writeBackup(fd.get(), old, bytes))
        return Outcome::NotCreated;
    const bool written = writeAll(fd.get(), bytes)
        && (bytes.size() >= old.size() || m_disk.ftruncate(fd.get(), bytes.size()) == 0)
        && m_disk.fsync(fd.get()) == 0;
    // The backup goes once the file holds whole bytes again, new or old; else the next turn uses
    // it.
    if (written || putBack(fd.get(), old))
        m_disk.unlink(m_backup.constData());
    return written ? Outcome::Written : Outcome::NotWritten;
}
