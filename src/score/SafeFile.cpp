#include "score/SafeFile.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QList>
#include <QRandomGenerator>

#include <algorithm>
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
// What follows the target's name in the name of a note, before the first characters of the
// SHA-256 of the bytes it is kept for; and a note's first line.
const QByteArray kNoteTag = QByteArrayLiteral(".pemy-note-");
constexpr qsizetype kNoteNameDigits = 16;
const QByteArray kNoteMagic = QByteArrayLiteral("PEMY-NOTE 1");
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

QByteArray digest(QByteArrayView bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// The unit in which a disk puts a write down whole or not at all.
constexpr qsizetype kSectorBytes = 512;

// Whether `now` is what a write in place of `bytes` over `old` can leave when it is cut, by a kill
// or a power cut: at a size between the two, each sector the new bytes' beginning (all of them,
// some or none) and then the old bytes' rest, or zeros where neither reached, whichever sectors
// reached the disk and in whatever order. Anything else was written since, by no write this backup
// protects.
bool isCutWrite(QByteArrayView now, QByteArrayView old, QByteArrayView bytes)
{
    if (now.size() < std::min(old.size(), bytes.size())
        || now.size() > std::max(old.size(), bytes.size()))
        return false;
    // `from`'s bytes at `at`, as long as `size`, zeros beyond its end.
    const auto slice = [](QByteArrayView from, qsizetype at, qsizetype size) {
        QByteArray part = from.sliced(std::min(at, from.size()))
                              .first(std::clamp<qsizetype>(from.size() - at, 0, size))
                              .toByteArray();
        return part.leftJustified(size, '\0');
    };
    for (qsizetype at = 0; at < now.size(); at += kSectorBytes) {
        const QByteArrayView sector = now.sliced(at, std::min(kSectorBytes, now.size() - at));
        const QByteArray written = slice(bytes, at, sector.size());
        qsizetype common = 0;
        while (common < sector.size() && sector[common] == written[common])
            ++common;
        if (sector.sliced(common) != QByteArrayView(slice(old, at, sector.size())).sliced(common))
            return false;
    }
    return true;
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

SafeFile::SafeFile(Disk &disk, const Place &place, qsizetype maxBytes)
    : m_disk(disk), m_place(place), m_maxBytes(maxBytes)
{
}

SafeFile::~SafeFile()
{
    if (m_fileLock >= 0)
        m_disk.close(m_fileLock);
    if (m_backupFolder >= 0)
        m_disk.close(m_backupFolder);
    if (m_folder >= 0)
        m_disk.close(m_folder); // ends the turn
}

bool SafeFile::takeTurn(int waitMs)
{
    if (hasTurn())
        return true;
    if (m_folder < 0) {
        m_folder =
            m_disk.openat(AT_FDCWD, m_place.folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_folder < 0)
            return false;
        m_backupFolder = m_disk.openat(m_folder, m_place.backupFolder.constData(),
                                       O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }
    const qint64 deadline = m_disk.nowMs() + waitMs;
    for (;;) {
        if (lockFolderAndFile())
            return m_locked = true;
        if (errno != EWOULDBLOCK || m_disk.nowMs() >= deadline)
            return false;
        m_disk.pauseMs(kTurnPollMs);
    }
}

// The folder first, so that no other game of this folder creates, renames or removes the target
// meanwhile; then the file its name holds, so that a game that reaches the same file by another
// name (a hard link in another folder) waits too. A name that opens no regular file needs only the
// folder: nothing is written through it. False, errno EWOULDBLOCK, while another game holds either.
bool SafeFile::lockFolderAndFile()
{
    if (!m_folderLocked) {
        if (m_disk.flock(m_folder, LOCK_EX | LOCK_NB) != 0)
            return false;
        m_folderLocked = true;
    }
    Descriptor file(m_disk,
                    m_disk.openat(m_folder, m_place.name.constData(),
                                  O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat status {};
    if (!file || m_disk.fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return true;
    if (m_disk.flock(file.get(), LOCK_EX | LOCK_NB) != 0)
        return false;
    m_fileLock = file.release();
    return true;
}

SafeFile::Read SafeFile::readBounded(int folder, const QByteArray &name, int flags,
                                     qsizetype maxBytes, QByteArray *bytes, int *fdOut,
                                     Identity *identity) const
{
    if (fdOut)
        *fdOut = -1;
    const int fd = m_disk.openat(folder, name.constData(),
                                 flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? Read::Missing : Read::Unreadable;
    Descriptor owned(m_disk, fd);
    struct stat status {};
    if (m_disk.fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
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
            m_disk.read(fd, bytes->data() + done, size_t(std::min(kReadChunk, limit - done)));
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
    if (identity)
        *identity = {status.st_dev, status.st_ino};
    if (fdOut)
        *fdOut = owned.release();
    return Read::Done;
}

SafeFile::Read SafeFile::read(QByteArray *bytes)
{
    m_read = {};
    m_digest.clear();
    if (m_folder < 0)
        return Read::Unreadable;
    const Read read =
        readBounded(m_folder, m_place.name, O_RDONLY, m_maxBytes, bytes, nullptr, &m_read);
    if (read == Read::Done)
        m_digest = digest(*bytes);
    return read;
}

// A note: its format line, the SHA-256 of the target's bytes it was kept for, its own text's
// SHA-256, then its text.
std::optional<QByteArray> SafeFile::note() const
{
    QByteArray raw;
    if (m_digest.isEmpty()
        || readBounded(m_folder, m_place.name + kNoteTag + m_digest.first(kNoteNameDigits),
                       O_RDONLY, m_maxBytes + kBackupHeaderBytes, &raw)
            != Read::Done)
        return std::nullopt;
    const QByteArray head = kNoteMagic + '\n' + m_digest + '\n';
    const qsizetype text = head.size() + m_digest.size() + 1;
    if (!raw.startsWith(head) || raw.size() < text || raw[text - 1] != '\n'
        || digest(QByteArrayView(raw).sliced(text)) != raw.mid(head.size(), m_digest.size()))
        return std::nullopt;
    return raw.mid(text);
}

bool SafeFile::keepNote(const QByteArray &note)
{
    return !m_digest.isEmpty() && writeNote(m_digest, note);
}

bool SafeFile::keepNoteFor(const QByteArray &bytes, const QByteArray &note)
{
    return writeNote(digest(bytes), note);
}

// Written whole under a temporary name, then renamed over the note of the same bytes.
bool SafeFile::writeNote(const QByteArray &forDigest, const QByteArray &note)
{
    return hasTurn()
        && writeWhole(m_folder, m_place.name + kTemporaryTag + "note",
                      m_place.name + kNoteTag + forDigest.first(kNoteNameDigits),
                      kNoteMagic + '\n' + forDigest + '\n' + digest(note) + '\n' + note, 0666)
        && m_disk.fsyncFolder(m_folder) == 0;
}

// Writes `bytes` to a new file `temporary` of `folder`, synced, and renames it `name`; on failure
// nothing is left under either name that this wrote.
bool SafeFile::writeWhole(int folder, const QByteArray &temporary, const QByteArray &name,
                          const QByteArray &bytes, mode_t mode)
{
    m_disk.unlinkat(folder, temporary.constData());
    Descriptor fd(m_disk,
                  m_disk.openat(folder, temporary.constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (!fd)
        return false;
    bool written = writeAll(fd.get(), bytes) && m_disk.fsync(fd.get()) == 0;
    written = fd.close() && written
        && m_disk.renameat(folder, temporary.constData(), folder, name.constData()) == 0;
    if (!written)
        m_disk.unlinkat(folder, temporary.constData());
    return written;
}

bool SafeFile::dropNotes(bool others)
{
    if (!hasTurn())
        return false;
    const QByteArray prefix = m_place.name + kNoteTag;
    const QByteArray kept =
        others && !m_digest.isEmpty() ? prefix + m_digest.first(kNoteNameDigits) : QByteArray();
    bool dropped = true;
    bool removed = false;
    for (const QByteArray &name : m_disk.listFolder(m_folder)) {
        if (!name.startsWith(prefix) || name == kept)
            continue;
        if (m_disk.unlinkat(m_folder, name.constData()) == 0) {
            removed = true;
            continue;
        }
        // A folder that refuses the removal: an empty note is none.
        const Descriptor fd(m_disk,
                            m_disk.openat(m_folder, name.constData(),
                                          O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        dropped =
            dropped && fd && m_disk.ftruncate(fd.get(), 0) == 0 && m_disk.fsync(fd.get()) == 0;
    }
    return dropped && (!removed || m_disk.fsyncFolder(m_folder) == 0);
}

SafeFile::Identity SafeFile::identity() const
{
    struct stat status {};
    if (m_folder < 0
        || m_disk.fstatat(m_folder, m_place.name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return {};
    return {status.st_dev, status.st_ino};
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

bool SafeFile::backupStands() const
{
    struct stat status {};
    return m_backupFolder >= 0
        && m_disk.fstatat(m_backupFolder, m_place.backupName.constData(), &status,
                          AT_SYMLINK_NOFOLLOW)
        == 0;
}

// The name of a file set aside now.
QByteArray SafeFile::asideName() const
{
    return m_place.backupName + kSetAsideTag
        + QByteArray::number(QDateTime::currentMSecsSinceEpoch());
}

void SafeFile::setBackupAside()
{
    // A failure leaves it, never applied.
    m_disk.renameat(m_backupFolder, m_place.backupName.constData(), m_backupFolder,
                    asideName().constData());
    pruneAside();
}

bool SafeFile::keepAside(const QByteArray &bytes)
{
    const QByteArray aside = asideName();
    if (!hasTurn() || m_backupFolder < 0
        || !writeWhole(m_backupFolder, m_place.backupName + kUnfinishedTag, aside, bytes, 0600))
        return false;
    if (m_disk.fsyncFolder(m_backupFolder) != 0) {
        m_disk.unlinkat(m_backupFolder, aside.constData());
        return false;
    }
    pruneAside();
    return true;
}

void SafeFile::pruneAside()
{
    const QByteArray prefix = m_place.backupName + kSetAsideTag;
    // Only the newest few are kept: a backup planted again and again fills nothing.
    QList<QByteArray> aged;
    for (const QByteArray &name : m_disk.listFolder(m_backupFolder)) {
        if (name.startsWith(prefix))
            aged.append(name);
    }
    std::sort(aged.begin(), aged.end(), [&prefix](const QByteArray &a, const QByteArray &b) {
        return a.mid(prefix.size()).toLongLong() > b.mid(prefix.size()).toLongLong();
    });
    for (qsizetype i = kKeptAside; i < aged.size(); ++i)
        m_disk.unlinkat(m_backupFolder, aged[i].constData());
}

void SafeFile::removeStaleTemporaries()
{
    const QByteArray prefix = m_place.name + kTemporaryTag;
    for (const QByteArray &name : m_disk.listFolder(m_folder)) {
        if (name.startsWith(prefix))
            m_disk.unlinkat(m_folder, name.constData());
    }
    if (m_backupFolder >= 0)
        m_disk.unlinkat(m_backupFolder, (m_place.backupName + kUnfinishedTag).constData());
}

SafeFile::Recovery SafeFile::recover()
{
    const bool stands = backupStands();
    if (!hasTurn())
        return stands ? Recovery::NoTurn : Recovery::Clean;
    removeStaleTemporaries();
    if (!stands)
        return Recovery::Clean;
    QByteArray raw;
    Backup backup;
    if (readBounded(m_backupFolder, m_place.backupName, O_RDONLY,
                    2 * m_maxBytes + kBackupHeaderBytes, &raw)
            != Read::Done
        || !parseBackup(raw, &backup) || identity() != Identity{backup.device, backup.inode}) {
        setBackupAside();
        return Recovery::SetAside;
    }
    raw.clear();
    // Whatever sectors of the write reached the disk, in whatever order, the file is either the
    // new bytes whole or goes back to the old bytes: no guess at where the write was cut.
    QByteArray now;
    if (readBounded(m_folder, m_place.name, O_RDONLY, m_maxBytes, &now) != Read::Done)
        return Recovery::Pending;
    const bool whole = now == backup.bytes || now == backup.old;
    if (!whole && !isCutWrite(now, backup.old, backup.bytes)) {
        setBackupAside();
        return Recovery::SetAside;
    }
    now.clear();
    if (!whole) {
        const Descriptor fd(m_disk,
                            m_disk.openat(m_folder, m_place.name.constData(),
                                          O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!fd || !putBack(fd.get(), backup.old))
            return Recovery::Pending;
    }
    m_disk.unlinkat(m_backupFolder, m_place.backupName.constData());
    return whole ? Recovery::Clean : Recovery::Restored;
}

SafeFile::Outcome SafeFile::replace(const QByteArray &bytes)
{
    if (!hasTurn() || bytes.size() > m_maxBytes)
        return Outcome::NotCreated;
    struct stat status {};
    const bool exists =
        m_disk.fstatat(m_folder, m_place.name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0;
    // Only the file read is replaced: one that appeared, went or was swapped since is not.
    if (Identity{exists ? status.st_dev : 0, exists ? status.st_ino : 0} != m_read)
        return Outcome::NotCreated;
    if (exists
        && (!S_ISREG(status.st_mode)
            || m_disk.faccessat(m_folder, m_place.name.constData(), W_OK, AT_EACCESS) != 0))
        return Outcome::NotCreated;
    Outcome outcome = replaceThroughTemporary(bytes, exists, status);
    if (outcome == Outcome::NotCreated && exists)
        outcome = overwriteInPlace(bytes);
    if (outcome == Outcome::Written)
        m_digest = digest(bytes);
    return outcome;
}

bool SafeFile::remove()
{
    if (!hasTurn() || m_read == Identity{} || identity() != m_read
        || m_disk.unlinkat(m_folder, m_place.name.constData()) != 0)
        return false;
    m_disk.fsyncFolder(m_folder); // a removal that does not reach the disk only leaves the file
    return true;
}

// Creates a new empty file beside the target, with the owner and permissions of the existing
// target (else the usual ones under the umask). -1 when the folder refuses it or the owner cannot
// be kept.
int SafeFile::createTemporary(bool exists, const struct stat &status, QByteArray *name)
{
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        *name = m_place.name + kTemporaryTag
            + QByteArray::number(QRandomGenerator::global()->generate());
        const int fd = m_disk.openat(m_folder, name->constData(),
                                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST)
            continue;
        if (fd < 0 || !exists)
            return fd;
        // The owner first: a change of owner clears the set-id bits that the mode then restores.
        if (m_disk.fchown(fd, status.st_uid, status.st_gid) == 0) {
            m_disk.fchmod(fd, status.st_mode & 07777); // a failure only leaves the usual mode
            return fd;
        }
        m_disk.close(fd);
        m_disk.unlinkat(m_folder, name->constData());
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
    written = written
        && m_disk.renameat(m_folder, temporary.constData(), m_folder, m_place.name.constData())
            == 0;
    if (!written) {
        m_disk.unlinkat(m_folder, temporary.constData());
        return Outcome::NotWritten;
    }
    return m_disk.fsyncFolder(m_folder) == 0 ? Outcome::Written : Outcome::NotWritten;
}

// Keeps the old bytes and the new ones in the backup, on disk before the write begins: written
// whole under another name, then renamed. False when its folder refuses it, or a backup stands.
bool SafeFile::writeBackup(const Identity &target, const QByteArray &old, const QByteArray &bytes)
{
    if (m_backupFolder < 0 || backupStands() || errno != ENOENT)
        return false;
    const QByteArray copy = kBackupMagic + '\n' + QByteArray::number(qulonglong(target.device))
        + ' ' + QByteArray::number(qulonglong(target.inode)) + '\n' + QByteArray::number(old.size())
        + ' ' + digest(old) + '\n' + QByteArray::number(bytes.size()) + ' ' + digest(bytes) + '\n'
        + old + bytes;
    if (!writeWhole(m_backupFolder, m_place.backupName + kUnfinishedTag, m_place.backupName, copy,
                    0600))
        return false;
    if (m_disk.fsyncFolder(m_backupFolder) != 0) {
        m_disk.unlinkat(m_backupFolder, m_place.backupName.constData());
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
    Identity opened;
    if (readBounded(m_folder, m_place.name, O_RDWR, m_maxBytes, &old, &raw, &opened) != Read::Done)
        return Outcome::NotCreated;
    const Descriptor fd(m_disk, raw);
    struct stat status {};
    // A file that other names reach (hard links) may have other backup places, where a game that
    // comes by another name would not look: it is only ever replaced whole.
    if (opened != m_read || m_disk.fstat(fd.get(), &status) != 0 || status.st_nlink != 1)
        return Outcome::NotCreated;
    if (bytes.size() > old.size() && m_disk.reserve(fd.get(), bytes.size()) != 0)
        return Outcome::NotWritten;
    if (!writeBackup(opened, old, bytes))
        return Outcome::NotCreated;
    const bool written = writeAll(fd.get(), bytes)
        && (bytes.size() >= old.size() || m_disk.ftruncate(fd.get(), bytes.size()) == 0)
        && m_disk.fsync(fd.get()) == 0;
    // The backup goes once the file holds whole bytes again, new or old; else the next turn uses
    // it.
    if (written || putBack(fd.get(), old))
        m_disk.unlinkat(m_backupFolder, m_place.backupName.constData());
    return written ? Outcome::Written : Outcome::NotWritten;
}
