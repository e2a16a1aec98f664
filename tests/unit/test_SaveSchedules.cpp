#include "DacOff.h"
#include "formats/Cp1251.h"
#include "formats/GameError.h"
#include "score/Disk.h"
#include "score/SafeFile.h"
#include "score/ScoreFile.h"
#include "score/ScoreText.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <climits>
#include <condition_variable>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

// Games that load and save the score list side by side, their system calls scheduled one at a
// time: each game runs on a thread of its own, and every call it makes through the disk waits until
// the schedule lets that game go on. Each schedule draws its whole world from its seed: the folders
// and files of two or three games (links, hard links, permissions, line breaks), what the players
// do (add results, the same as another's or a listed one, delete or edit lines, only look), what
// happens to the world during a save (a folder or file renamed, removed, swapped for a link or a
// FIFO, the disk full), and a fault: a game stopped or killed at any call, or a power cut, after
// which only what was synced is on disk. One checker then loads each folder as the next game would
// and holds what a player relies on. A failing world prints its seed and a description;
// PEMY_SEED=<seed> replays it, PEMY_SCHEDULES=<count> sets how many each shape runs.
namespace {

const QString kSeparator = QString::fromUtf16(ScoreText::kSeparator);
// What a game's seam throws where the schedule kills it.
struct Killed {};

// Hands the one right to run from the schedule to a game and back.
class Baton {
public:
    explicit Baton(int games) : m_budget(games, 0), m_kill(games), m_stopped(games), m_done(games)
    {
    }
    // A game's call: waits for its budget; false where the schedule kills it.
    bool gate(int game)
    {
        std::unique_lock lock(m_mutex);
        if (m_budget[game] == 0) {
            m_stopped[game] = true;
            m_changed.notify_all();
            m_changed.wait(lock, [&] { return m_budget[game] != 0 || m_kill[game]; });
            m_stopped[game] = false;
        }
        if (m_kill[game])
            return false;
        if (m_budget[game] > 0)
            --m_budget[game];
        ++m_clock;
        return true;
    }
    int now()
    {
        const std::lock_guard lock(m_mutex);
        return m_clock;
    }
    // Lets `game` make up to `calls` calls (-1: to its end), or kills it at its next call; waits
    // until it stops.
    void run(int game, int calls, bool kill = false)
    {
        std::unique_lock lock(m_mutex);
        if (m_done[game] || (calls == 0 && !kill))
            return;
        m_budget[game] = calls < 0 ? 1 << 30 : calls;
        m_kill[game] = kill;
        m_stopped[game] = false;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_stopped[game]; });
    }
    void finish(int game)
    {
        const std::lock_guard lock(m_mutex);
        m_stopped[game] = m_done[game] = true;
        m_budget[game] = 0;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<int> m_budget;
    std::vector<bool> m_kill, m_stopped, m_done;
    int m_clock = 0;
};

ino_t inodeOf(int fd)
{
    struct stat status {};
    return ::fstat(fd, &status) == 0 ? status.st_ino : 0;
}

ino_t inodeAt(int folder, const char *name)
{
    struct stat status {};
    return ::fstatat(folder, name, &status, AT_SYMLINK_NOFOLLOW) == 0 ? status.st_ino : 0;
}

// What a power cut keeps, in the manner of a crash-testing file layer: the bytes and names that a
// sync put on disk; of the rest, each write is kept, dropped or torn by 512-byte sector, and of
// each folder's unsynced name changes those before a point. Every file a game writes, creates or
// unnames keeps one more link in the root's .keep, so that a cut can give a name back its inode;
// the games never see that link. Calls come one at a time (the baton), so nothing here locks.
class Durable {
public:
    explicit Durable(const QString &root)
    {
        QDir(root).mkdir(".keep");
        m_keep = ::open(QFile::encodeName(root + "/.keep").constData(), O_RDONLY | O_DIRECTORY);
    }
    ~Durable()
    {
        for (const Folder &folder : std::as_const(m_folders))
            ::close(folder.fd);
        ::close(m_keep);
    }
    int keptLinks(ino_t inode) const { return m_kept.contains(inode) ? 1 : 0; }

    // A file opened for writing: its bytes now are on disk.
    void opened(int fd)
    {
        struct stat status {};
        if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)
            || m_files.contains(status.st_ino))
            return;
        const ino_t inode = status.st_ino;
        QFile file(QString("/proc/self/fd/%1").arg(fd));
        m_files[inode].synced = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        keep(::linkat(AT_FDCWD, qPrintable(file.fileName()), m_keep,
                      QByteArray::number(qulonglong(inode)), AT_SYMLINK_FOLLOW),
             inode);
    }
    void wrote(int fd, const char *bytes, ssize_t size, off_t at)
    {
        if (size > 0)
            m_files[inodeOf(fd)].unsynced.append({at, QByteArray(bytes, size), false});
    }
    void truncated(int fd, off_t size) { m_files[inodeOf(fd)].unsynced.append({size, {}, true}); }
    void synced(int fd)
    {
        File &file = m_files[inodeOf(fd)];
        for (const Write &write : std::as_const(file.unsynced))
            apply(write, &file.synced, nullptr);
        file.unsynced.clear();
    }
    // Before a name in `folder` changes: `from` goes (empty: a new name), `to` comes.
    void renaming(int folder, const char *from, const char *to)
    {
        Folder &folderState = state(folder);
        for (const char *name : {from, to}) {
            if (const ino_t inode = *name ? inodeAt(folder, name) : 0)
                keep(::linkat(folder, name, m_keep, QByteArray::number(qulonglong(inode)), 0),
                     inode);
        }
        folderState.pending.append({from, to, *from ? inodeAt(folder, from) : 0});
    }
    // A new file `name` in `folder`, open as `fd`; watch(folder) came before it.
    void created(int folder, const char *name, int fd)
    {
        const ino_t inode = inodeOf(fd);
        m_files[inode]; // nothing of it synced yet
        keep(::linkat(folder, name, m_keep, QByteArray::number(qulonglong(inode)), 0), inode);
        state(folder).pending.append({{}, name, inode});
    }
    void folderSynced(int folder)
    {
        Folder &folderState = state(folder);
        for (const Rename &rename : std::as_const(folderState.pending))
            apply(rename, &folderState.synced);
        folderState.pending.clear();
    }
    // Names in `folder` may change: what stands there now is on disk.
    void watch(int folder) { (void)state(folder); }
    // The power cut: the disk as it came back, from what `random` decides of the unsynced rest.
    void cut(QRandomGenerator &random)
    {
        for (auto it = m_folders.begin(); it != m_folders.end(); ++it) {
            QHash<QByteArray, ino_t> names = it->synced;
            const qsizetype kept = random.bounded(int(it->pending.size()) + 1);
            for (qsizetype i = 0; i < kept; ++i)
                apply(it->pending[i], &names);
            QSet<QByteArray> touched;
            for (const Rename &rename : std::as_const(it->pending))
                touched << rename.from << rename.to;
            for (const QByteArray &name : std::as_const(touched)) {
                if (name.isEmpty() || inodeAt(it->fd, name) == names.value(name))
                    continue;
                ::unlinkat(it->fd, name, 0);
                if (names.value(name))
                    ::linkat(m_keep, QByteArray::number(qulonglong(names[name])), it->fd, name, 0);
            }
        }
        for (auto it = m_files.begin(); it != m_files.end(); ++it) {
            QByteArray bytes = it->synced;
            for (const Write &write : std::as_const(it->unsynced))
                apply(write, &bytes, &random);
            const QByteArray name = QByteArray::number(qulonglong(it.key()));
            struct stat status {};
            ::fstatat(m_keep, name, &status, 0);
            ::fchmodat(m_keep, name, 0600, 0);
            const int fd = ::openat(m_keep, name, O_WRONLY | O_TRUNC);
            if (fd >= 0 && ::write(fd, bytes.constData(), size_t(bytes.size())) >= 0)
                ::close(fd);
            ::fchmodat(m_keep, name, status.st_mode & 07777, 0);
        }
    }

private:
    struct Write {
        off_t at;
        QByteArray bytes;
        bool truncate;
    };
    struct File {
        QByteArray synced;
        QList<Write> unsynced;
    };
    struct Rename {
        QByteArray from, to;
        ino_t inode;
    };
    struct Folder {
        int fd = -1;
        QHash<QByteArray, ino_t> synced;
        QList<Rename> pending;
    };
    void keep(int linked, ino_t inode)
    {
        if (linked == 0 || errno == EEXIST)
            m_kept.insert(inode);
    }
    // Applies `write` to `bytes`: whole, or with `random` kept, dropped or torn by sector.
    static void apply(const Write &write, QByteArray *bytes, QRandomGenerator *random)
    {
        const int fate = random ? int(random->bounded(3)) : 0; // kept, dropped, torn
        if (fate == 1)
            return;
        if (write.truncate) {
            bytes->resize(write.at, '\0');
            return;
        }
        for (qsizetype at = 0; at < write.bytes.size();) {
            const qsizetype sector =
                std::min<qsizetype>(512 - (write.at + at) % 512, write.bytes.size() - at);
            if (fate == 0 || random->bounded(2) == 0) {
                if (bytes->size() < write.at + at + sector)
                    bytes->resize(write.at + at + sector, '\0');
                bytes->replace(write.at + at, sector, write.bytes.mid(at, sector));
            }
            at += sector;
        }
    }
    static void apply(const Rename &rename, QHash<QByteArray, ino_t> *names)
    {
        if (!rename.from.isEmpty())
            names->remove(rename.from);
        if (!rename.to.isEmpty())
            names->insert(rename.to, rename.inode);
    }

    Folder &state(int folder)
    {
        Folder &folderState = m_folders[inodeOf(folder)];
        if (folderState.fd < 0) {
            folderState.fd = ::open(qPrintable(QString("/proc/self/fd/%1").arg(folder)),
                                    O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            for (const QByteArray &name : Disk::system().listFolder(folder))
                folderState.synced[name] = inodeAt(folder, name);
        }
        return folderState;
    }

    int m_keep = -1;
    QSet<ino_t> m_kept;
    QHash<ino_t, File> m_files;
    QHash<ino_t, Folder> m_folders;
};

// What a save of one game met on its way, told by its calls.
struct Met {
    QSet<ino_t> refused; // folders (by inode) that refused it: a turn held, no permission, no room
    bool full = false;
};

// The disk of one game: every call waits for the game's turn in the schedule; what it writes and
// names goes through the power cut's model. Waiting for a file's turn runs on a clock of the game's
// own, so that a stalled game costs no real time.
class ScheduledDisk : public Disk {
public:
    ScheduledDisk(Baton &baton, Durable &durable, int game, quint32 seed)
        : m_baton(baton), m_durable(durable), m_game(game), m_random(seed)
    {
    }
    bool saving = false;    // set while the game saves
    bool turnTaken = false; // its save has held a turn
    bool full = false;      // the disk has no room left
    bool cutDead = false;   // a power cut: no write is in flight
    int syncsToCut = -1;    // the syncs it makes before the power goes; -1: never
    bool cut = false;       // the power went at its sync
    Met met;

    int openat(int folder, const char *name, int flags, mode_t mode) override
    {
        gate();
        const bool creates = (flags & O_CREAT) && inodeAt(folder, name) == 0;
        if (creates)
            m_durable.watch(folder);
        const int fd = Disk::openat(folder, name, flags, mode);
        note(fd, folder);
        if (fd >= 0) // a held turn of a folder or of a file counts against the folder
            m_folderOf[fd] = inodeOf((flags & O_DIRECTORY) ? fd : folder);
        if (fd >= 0 && creates)
            m_durable.created(folder, name, fd);
        if (fd >= 0 && (flags & O_ACCMODE) != O_RDONLY)
            m_durable.opened(fd);
        return fd;
    }
    ssize_t read(int fd, void *buffer, size_t size) override
    {
        return gate(), Disk::read(fd, buffer, size);
    }
    ssize_t pwrite(int fd, const void *buffer, size_t size, off_t offset) override
    {
        try {
            gate();
        } catch (const Killed &) {
            // A kill in the middle of a write: some of its bytes are written.
            if (!cutDead) {
                const size_t part = m_random.bounded(quint32(size + 1));
                m_durable.wrote(fd, static_cast<const char *>(buffer),
                                Disk::pwrite(fd, buffer, part, offset), offset);
            }
            throw;
        }
        if (full)
            return errno = ENOSPC, refuse(-1, fd);
        const ssize_t n = Disk::pwrite(fd, buffer, size, offset);
        m_durable.wrote(fd, static_cast<const char *>(buffer), n, offset);
        return refuse(n, fd);
    }
    int fsync(int fd) override
    {
        cutAt();
        const int result = Disk::fsync(fd);
        if (result == 0)
            m_durable.synced(fd);
        return result;
    }
    int fsyncFolder(int fd) override
    {
        cutAt();
        const int result = Disk::fsyncFolder(fd);
        if (result == 0)
            m_durable.folderSynced(fd);
        return result;
    }
    int ftruncate(int fd, off_t size) override
    {
        gate();
        const int result = Disk::ftruncate(fd, size);
        if (result == 0)
            m_durable.truncated(fd, size);
        return result;
    }
    int reserve(int fd, off_t size) override
    {
        gate();
        return full ? (errno = ENOSPC, refuse(-1, fd)) : refuse(Disk::reserve(fd, size), fd);
    }
    int renameat(int fromFolder, const char *from, int toFolder, const char *to) override
    {
        gate();
        m_durable.renaming(fromFolder, from, to);
        return note(Disk::renameat(fromFolder, from, toFolder, to), fromFolder);
    }
    int unlinkat(int folder, const char *name) override
    {
        gate();
        m_durable.renaming(folder, name, "");
        return note(Disk::unlinkat(folder, name), folder);
    }
    int flock(int fd, int operation) override
    {
        gate();
        const int result = refuse(Disk::flock(fd, operation), fd);
        turnTaken = turnTaken || (saving && result == 0);
        return result;
    }
    int close(int fd) override
    {
        // Never a kill of its own (it runs in destructors): a kill strikes at the next call. A
        // killed game's descriptors close as the kernel closes them.
        if (!m_dead && !m_baton.gate(m_game))
            m_dead = true;
        return Disk::close(fd);
    }
    // The power cut's own links to a file are no links of the games'.
    int fstat(int fd, struct stat *status) override
    {
        return gate(), unkept(Disk::fstat(fd, status), status);
    }
    int fstatat(int folder, const char *name, struct stat *status, int flags) override
    {
        return gate(), unkept(Disk::fstatat(folder, name, status, flags), status);
    }
    int fchown(int fd, uid_t owner, gid_t group) override
    {
        return gate(), Disk::fchown(fd, owner, group);
    }
    int fchmod(int fd, mode_t mode) override { return gate(), Disk::fchmod(fd, mode); }
    int faccessat(int folder, const char *name, int mode, int flags) override
    {
        return gate(), note(Disk::faccessat(folder, name, mode, flags), folder);
    }
    QList<QByteArray> listFolder(int folder) override { return gate(), Disk::listFolder(folder); }
    qint64 nowMs() override { return m_clock; }
    void pauseMs(int ms) override
    {
        gate();
        m_clock += ms;
    }

private:
    // A sync's gate: the power goes at the sync that `syncsToCut` counts down to, before it is
    // made.
    void cutAt()
    {
        gate();
        if (syncsToCut >= 0 && syncsToCut-- == 0) {
            cut = cutDead = m_dead = true;
            throw Killed{};
        }
    }
    void gate()
    {
        if (m_dead || !m_baton.gate(m_game)) {
            m_dead = true;
            throw Killed{};
        }
    }
    int unkept(int result, struct stat *status)
    {
        status->st_nlink -= m_durable.keptLinks(status->st_ino);
        return result;
    }
    // Notes a refusal of the folder `folder` during the save.
    int note(int result, int folder)
    {
        if (result < 0 && saving && (errno == EACCES || errno == EPERM || errno == ENOSPC))
            met.refused.insert(inodeOf(folder));
        return result;
    }
    // The same, for a call on the descriptor `fd` of a file or folder: a held turn counts.
    int refuse(int result, int fd)
    {
        if (result < 0 && saving && (errno == EWOULDBLOCK || errno == ENOSPC))
            met.refused.insert(m_folderOf.value(fd, inodeOf(fd)));
        met.full = met.full || (result < 0 && saving && errno == ENOSPC);
        return result;
    }

    Baton &m_baton;
    Durable &m_durable;
    const int m_game;
    QRandomGenerator m_random;
    QHash<int, ino_t> m_folderOf;
    qint64 m_clock = 0;
    bool m_dead = false;
};

// Results as the list writes them.
QString result(const QString &line)
{
    return kSeparator + "\r\n" + line;
}

// The results a player's game may add: few, so that two games often add the same one, and one of
// them already listed.
const QStringList kPool = {"Вася - 0 % списано! Или = 2 баллов. Но Вы пытальсь списать! и Ваша "
                           "оценка и все предыдущие = 0!",
                           "Петя - 60 % списано! Или = 3 баллов", "Seed one"};

// One game: the folder it plays in and what its player does before saving.
struct Game {
    QString folder;
    QStringList adds; // results added, in order
    QString deletes;  // a listed line the player deletes (with its separator); empty: none
    QString edits;    // a listed line the player changes; empty: none
};

enum class Fault { None, Stop, Kill, Cut };
enum class Event { None, RenameData, RemoveScore, ScoreToLink, DataToLink, ScoreToFifo, Full };

// A world and what happens in it, all drawn from one seed.
struct World {
    quint32 seed = 0;
    QStringList folders;
    QList<Game> games;
    QStringList setUp; // what was made, for the description
    Fault fault = Fault::None;
    int faultGame = 0, faultAt = 0; // the game stopped or killed, at its call; a cut's segment
    Event event = Event::None;
    QList<std::pair<int, int>> schedule; // (game, calls) in turn
    // The world's one-line description, for a failure.
    QString describe() const
    {
        const char *faults[] = {"none", "a stop", "a kill", "a power cut"};
        const char *events[] = {"none",
                                "data folder renamed",
                                "score file removed",
                                "score file swapped for a link",
                                "data folder swapped for a link",
                                "score file swapped for a FIFO",
                                "disk full"};
        QStringList games;
        for (const Game &game : this->games)
            games << QString("%1: adds %2, deletes '%3', edits '%4'")
                         .arg(game.folder, QString::number(game.adds.size()), game.deletes,
                              game.edits);
        return QString("seed %1 (PEMY_SEED=%1): %2; games %3; fault %4 (game %5 at %6); event %7")
            .arg(seed)
            .arg(setUp.join(", "), games.join("; "), faults[int(fault)])
            .arg(faultGame)
            .arg(faultAt)
            .arg(events[int(event)]);
    }
};

// What the world's named shapes fix; the seed draws the rest.
struct Shape {
    const char *name;
    int links = -1; // -1: drawn; else the kind of link between the folders
    Fault fault = Fault::None;
    bool drawFault = true;
    bool events = false;
    int permissions = -1; // -1: drawn for each folder; else the first folder's, where game 0 plays
    int sync = -1;        // -1: drawn; else the sync of game 0 that a power cut comes at
    bool looking = false; // the players only look: every save writes what another read
};

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

// A list's bytes with line breaks of the kind `breaks` draws: CR LF, LF, CR or mixed; now and then
// the last line has none.
QByteArray withBreaks(const QStringList &lines, int breaks, QRandomGenerator &random)
{
    QByteArray bytes;
    for (const QString &line : lines) {
        const char *kinds[] = {"\r\n", "\n", "\r"};
        bytes += Cp1251::encode(line) + kinds[breaks < 3 ? breaks : random.bounded(3)];
    }
    return random.bounded(4) == 0 ? bytes.left(bytes.size() - (bytes.endsWith("\r\n") ? 2 : 1))
                                  : bytes;
}

// Makes the world of `seed` in the working folder (the root), shaped by `shape`.
World draw(quint32 seed, const Shape &shape)
{
    QRandomGenerator random(seed);
    World world;
    world.seed = seed;
    world.folders = random.bounded(3) == 0 ? QStringList{"one"} : QStringList{"one", "two"};
    for (const QString &folder : world.folders) {
        QStringList seeds{kSeparator, "Seed one", kSeparator, "Seed two"};
        if (random.bounded(4) == 0)
            seeds << kSeparator << "Seed one"; // the same result twice
        // A list of several sectors, which a power cut tears.
        for (int n = random.bounded(2) || shape.permissions >= 0 ? 60 : 0; n > 0; --n)
            seeds << kSeparator << QString("Earlier result %1").arg(n);
        const int breaks = int(random.bounded(4));
        QByteArray bytes = withBreaks(seeds, breaks, random);
        if (random.bounded(8) == 0) { // a zero byte, and a result after it
            bytes += QByteArray(1, '\0') + withBreaks({kSeparator, "Hidden"}, 0, random);
            world.setUp << folder + " zero byte";
        }
        const int data = int(random.bounded(8)); // 0: no data folder, 1: a folder as the file
        if (data == 1)
            QDir().mkpath(folder + "/base/data/score.inf");
        if (data > 1)
            writeFile(folder + "/base/data/score.inf", bytes);
        if (data == 0)
            QDir().mkpath(folder);
        if (data == 0 || random.bounded(3) == 0)
            writeFile(folder + "/score.inf",
                      withBreaks({kSeparator, "Earlier " + folder, kSeparator, "Seed two"}, breaks,
                                 random));
        const char *breakNames[] = {"CR LF", "LF", "CR", "mixed breaks"};
        world.setUp << folder + ": "
                + (data == 0       ? "no data folder"
                       : data == 1 ? "a folder as the score file"
                                   : breakNames[breaks]);
    }
    // Links between the folders' files, or from the score file to the fallback.
    const int links = shape.links >= 0 ? shape.links : int(random.bounded(6));
    const char *linkNames[] = {"none",
                               "score file linked",
                               "score file hard-linked",
                               "data folder linked",
                               "score file a link to the fallback",
                               "none"};
    world.setUp << linkNames[links];
    if (world.folders.size() == 2 && links >= 1 && links <= 3) {
        QDir().mkpath("two/base");
        QFile::remove("two/base/data/score.inf");
        if (links == 1)
            QFile::link("../../../one/base/data/score.inf", "two/base/data/score.inf");
        if (links == 2)
            ::link("one/base/data/score.inf", "two/base/data/score.inf");
        if (links == 3 && QDir("two/base/data").removeRecursively())
            QFile::link("../../one/base/data", "two/base/data");
    }
    if (links == 4 && QFileInfo::exists("one/score.inf") && QDir("one/base/data").exists()) {
        QDir("one/base/data/score.inf").removeRecursively();
        QFile::remove("one/base/data/score.inf");
        QFile::link("../../score.inf", "one/base/data/score.inf");
    }
    // Permissions: the score file or its folder read-only, now and then the game's folder too.
    for (const QString &folder : world.folders) {
        const int drawn = int(random.bounded(6));
        const int permissions =
            folder == "one" && shape.permissions >= 0 ? shape.permissions : drawn;
        if (permissions == 1)
            ::chmod(qPrintable(folder + "/base/data/score.inf"), 0444);
        if (permissions == 2 || permissions == 3)
            ::chmod(qPrintable(folder + "/base/data"), 0555);
        if (permissions == 3)
            ::chmod(qPrintable(folder + "/base/data/score.inf"), 0444);
        if (permissions == 4)
            ::chmod(qPrintable(folder), 0555);
        const char *permissionNames[] = {"",
                                         " score file read-only",
                                         " data folder read-only",
                                         " data folder and score file read-only",
                                         " game folder read-only",
                                         ""};
        if (*permissionNames[permissions])
            world.setUp << folder + ":" + permissionNames[permissions];
    }
    const int games = 2 + int(random.bounded(2));
    for (int i = 0; i < games; ++i) {
        Game game{world.folders[int(random.bounded(int(world.folders.size())))], {}, {}, {}};
        if (i == 0 && shape.permissions >= 0)
            game.folder = "one";
        for (int n = shape.looking ? 0 : int(random.bounded(3)); n > 0; --n) // none: only looks
            game.adds << kPool[int(random.bounded(int(kPool.size())))];
        const int edit = int(random.bounded(6));
        if (edit == 0 || (i == 0 && shape.permissions >= 0)) // a write that shifts the list
            game.deletes = "Seed one";
        if (edit == 1)
            game.edits = "Seed two";
        world.games << game;
    }
    world.fault = shape.drawFault ? Fault(random.bounded(4)) : shape.fault;
    world.faultGame = int(random.bounded(games));
    world.faultAt = int(random.bounded(120));
    if (shape.sync >= 0)
        std::tie(world.faultGame, world.faultAt) = std::pair(0, shape.sync);
    if (shape.events && world.fault != Fault::Cut)
        world.event = Event(1 + random.bounded(6));
    for (int i = 0; i < 12; ++i)
        world.schedule.append({int(random.bounded(games)), int(random.bounded(1, 40))});
    return world;
}

// What became of a game.
struct Run {
    enum class Fate { Refused, Saved, Killed } fate = Fate::Killed;
    int loadedAt = INT_MAX; // the calls of all games made when its load began
    int savedAt = INT_MAX;  // ... when its save was done
    bool wroteScoreFile = false;
    bool eventInSave = false;
    bool unreadable = false;              // the score file could not be read, so saves skip it
    bool deleted = false, edited = false; // the player's deletion and edit found their line
    qint64 waitedMs = 0;                  // for turns that others held
    QString error;
    Met met;
};

// The text a game's player leaves in the list that `loaded` shows; notes in `run` what was found.
QString played(const Game &game, QString text, Run *run)
{
    const qsizetype deleted = text.indexOf(result(game.deletes) + "\r\n");
    run->deleted = !game.deletes.isEmpty() && deleted >= 0;
    if (run->deleted)
        text.remove(deleted, result(game.deletes).size() + 2);
    const qsizetype edited = text.indexOf(result(game.edits) + "\r\n");
    run->edited = !game.edits.isEmpty() && edited >= 0;
    if (run->edited)
        text.replace(edited, result(game.edits).size(), result(game.edits + ", edited"));
    for (const QString &line : game.adds) {
        for (const QString &piece : {kSeparator, line})
            text += ScoreText::appendPiece(text.isEmpty() || text.endsWith("\r\n"), piece);
    }
    return text;
}

// Makes `event` happen in `folder` (true), or undoes it (false).
void happen(Event event, const QString &folder, bool now)
{
    const QString data = folder + "/base/data", score = data + "/score.inf";
    const auto swap = [&](const QString &path, const std::function<void()> &make) {
        if (now) {
            QFile::rename(path, path + ".away");
            make();
        } else if (QFileInfo(path).isSymLink() || !QFileInfo(path).isFile()) {
            QFile::remove(path) || QDir(path).removeRecursively();
            QFile::rename(path + ".away", path);
        } else { // a save replaced it with its whole list
            QFile::remove(path + ".away");
        }
    };
    switch (event) {
    case Event::RenameData:
        now ? QDir().rename(data, data + ".away") : QDir().rename(data + ".away", data);
        break;
    case Event::RemoveScore:
        if (now || !QFileInfo::exists(score))
            now ? QFile::rename(score, "removed.inf") : QFile::rename("removed.inf", score);
        break;
    case Event::ScoreToLink:
        swap(score, [&] { QFile::link("../../../outside/data/score.inf", score); });
        break;
    case Event::DataToLink:
        swap(data, [&] { QFile::link("../../outside/data", data); });
        break;
    case Event::ScoreToFifo:
        swap(score, [&] { ::mkfifo(qPrintable(score), 0644); });
        break;
    default:
        break;
    }
}

// Runs the games of `world` in `root` by its schedule; returns what became of them.
QList<Run> play(const World &world, const QString &root, Durable &durable)
{
    const int count = int(world.games.size());
    Baton baton{count};
    QList<Run> runs(count);
    std::vector<std::unique_ptr<ScheduledDisk>> disks;
    for (int i = 0; i < count; ++i)
        disks.push_back(std::make_unique<ScheduledDisk>(baton, durable, i, world.seed + i));
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i) {
        threads.emplace_back([&, i] {
            ScheduledDisk &disk = *disks[size_t(i)];
            const DacOff permissionsBind;
            try {
                if (!baton.gate(i)) // starts when the schedule first lets it
                    throw Killed{};
                runs[i].loadedAt = baton.now();
                const ScoreFile::Loaded loaded = ScoreFile::load(disk);
                disk.saving = true;
                runs[i].unreadable = loaded.unreadable;
                const ScoreFile::Loaded saved =
                    ScoreFile::save(played(world.games[i], loaded.text, &runs[i]), loaded, disk);
                runs[i].fate = Run::Fate::Saved;
                runs[i].savedAt = baton.now();
                runs[i].wroteScoreFile = !saved.unreadable && saved.scoreText == saved.text;
            } catch (const Killed &) {
                runs[i].fate = Run::Fate::Killed;
            } catch (const GameError &error) {
                runs[i].fate = Run::Fate::Refused;
                runs[i].error = error.text();
            }
            runs[i].met = disk.met;
            runs[i].waitedMs = disk.nowMs();
            baton.finish(i);
        });
    }
    const auto runGame = [&](int game, int calls, bool kill = false) {
        QDir::setCurrent(root + "/" + world.games[game].folder);
        baton.run(game, calls, kill);
        QDir::setCurrent(root);
    };
    QHash<int, int> made; // calls each game was let make
    // A power cut comes where it matters, at a sync: all that was not synced may go.
    disks[size_t(world.faultGame)]->syncsToCut = world.fault == Fault::Cut ? world.faultAt % 6 : -1;
    bool evented = false;
    for (qsizetype segment = 0; segment < world.schedule.size(); ++segment) {
        auto [game, calls] = world.schedule[segment];
        const bool faulty =
            world.fault != Fault::None && world.fault != Fault::Cut && game == world.faultGame;
        if (faulty)
            calls = std::min(calls, std::max(0, world.faultAt - made[game]));
        runGame(game, calls);
        made[game] += calls;
        if (disks[size_t(world.faultGame)]->cut) {
            for (int i = 0; i < count; ++i) { // every game ends with the machine
                disks[size_t(i)]->cutDead = true;
                runGame(i, 0, true);
            }
            break;
        }
        if (faulty && made[game] >= world.faultAt) {
            if (world.fault == Fault::Kill)
                runGame(game, 0, true);
            for (int other = 0; world.fault == Fault::Stop && other < count; ++other) {
                if (other != game)
                    runGame(other, -1);
            }
            runGame(game, -1);
        }
        // An event strikes a save that holds its turn, which alone goes on until its end.
        if (world.event != Event::None && !evented && disks[size_t(game)]->turnTaken) {
            evented = runs[game].eventInSave = true;
            happen(world.event, world.games[game].folder, true);
            for (auto &disk : disks)
                disk->full = world.event == Event::Full;
            runGame(game, -1);
            for (auto &disk : disks)
                disk->full = false;
            happen(world.event, world.games[game].folder, false);
        }
    }
    for (int i = 0; i < count; ++i) {
        runGame(i, -1);
        threads[size_t(i)].join();
    }
    return runs;
}

// Each file under `folder` (links not followed): its mode, inode and bytes.
QHash<QString, QString> tree(const QString &folder)
{
    QHash<QString, QString> files;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat status {};
        ::lstat(qPrintable(path), &status);
        QFile file(path);
        files[path] = QString("%1 %2 ").arg(status.st_mode).arg(status.st_ino)
            + QString::fromLatin1(S_ISREG(status.st_mode) && file.open(QIODevice::ReadOnly)
                                      ? file.readAll().toHex()
                                      : QByteArray());
    }
    return files;
}

// The results of a list, counted.
QHash<QString, int> counted(const QString &text)
{
    QHash<QString, int> results;
    for (const QStringView piece : ScoreText::resultsOf(text))
        ++results[piece.toString()];
    return results;
}

// The inode of the folder that holds what `path` names at the end of its links; 0: none.
ino_t folderOf(const QString &path)
{
    const QString real = QFileInfo(path).canonicalFilePath();
    struct stat status {};
    return !real.isEmpty() && ::stat(qPrintable(QFileInfo(real).path()), &status) == 0
        ? status.st_ino
        : 0;
}

// What a player relies on after `world` met `runs`, in `root`: limits (every result a save
// returned with shown as often as added, deletions kept, nothing from outside or cut, CR LF only,
// nothing outside touched, no leftovers, nothing unseen thrown away) and duties (a save with
// nothing in its way succeeds). Returns what is wrong, empty when nothing is.
QString check(const World &world, const QList<Run> &runs, const QHash<QString, QString> &atStart,
              const QHash<QString, QByteArray> &bytesAtStart,
              const QHash<QString, QString> &outside)
{
    if (tree("outside") != outside)
        return "the tree outside was changed";
    // Turns that others hold (a stalled game holds its own) cost a player 2 s at most: the game
    // then goes another way.
    for (const Run &run : runs) {
        if (run.waitedMs > 2000)
            return QString("a game waited %1 ms for turns").arg(run.waitedMs);
    }
    QHash<QString, int> added, deleted, most;
    for (const Game &game : world.games) {
        for (const QString &line : game.adds)
            ++added[result(line)];
        if (!game.edits.isEmpty())
            ++added[result(game.edits + ", edited")];
        ++deleted[result(game.deletes)];
        ++deleted[result(game.edits)];
    }
    for (const QString &text : atStart) {
        for (auto [piece, n] : counted(text).asKeyValueRange())
            most[piece] = std::max(most[piece], n);
    }
    QStringList asides{"removed.inf"}; // the world's removal keeps it there
    for (const QString &folder : world.folders) {
        const QDir dir(folder), data(folder + "/base/data");
        for (const QDir &where : {dir, data}) {
            for (const QString &name : where.entryList(QDir::Files | QDir::Hidden)) {
                if (name.contains(".set-aside-"))
                    asides << where.filePath(name);
            }
        }
    }
    // The next start in each folder, which puts back what a cut write left, comes first.
    QHash<QString, QString> shownIn;
    for (const QString &folder : world.folders) {
        QDir::setCurrent(folder);
        const DacOff permissionsBind;
        shownIn[folder] = ScoreFile::load(Disk::system()).text;
        QDir::setCurrent("..");
    }
    for (const QString &folder : world.folders) {
        for (const QString &file : {folder + "/base/data/score.inf", folder + "/score.inf"}) {
            QFile raw(file);
            const QByteArray bytes = raw.open(QIODevice::ReadOnly) ? raw.readAll() : QByteArray();
            if (bytes == bytesAtStart.value(file))
                continue;
            if (ScoreText::normalisedSize(bytes) != bytes.size() || bytes.contains('\0'))
                return file + " was written with a break other than CR LF, or a zero";
            const QByteArray before = bytesAtStart.value(file);
            const bool keptAside = std::any_of(asides.begin(), asides.end(), [&](const QString &f) {
                QFile aside(f);
                return aside.open(QIODevice::ReadOnly) && aside.readAll() == before;
            });
            if (before.contains('\0') && !keptAside)
                return file + " lost the bytes after its zero, unseen";
        }
        const QString shown = shownIn.value(folder);
        const auto wrong = [&](const QString &what) {
            QStringList fates;
            for (const Run &run : runs)
                fates << QString("%1 (loaded at %2, saved at %3, wrote the score file %4)")
                             .arg(QStringList{"refused", "saved", "killed"}[int(run.fate)])
                             .arg(run.loadedAt)
                             .arg(run.savedAt)
                             .arg(run.wroteScoreFile);
            return folder + ": " + what + "; games " + fates.join(", ") + ", shown:\n" + shown;
        };
        for (const QDir &where : {QDir(folder), QDir(folder + "/base/data")}) {
            const QStringList left = where.entryList(QDir::Files | QDir::Hidden);
            for (const QString &name : left) {
                if (name.contains(".pemy-save-") || name.endsWith(".part")
                    || name.endsWith("backup"))
                    return wrong("a leftover " + name);
            }
            if (left.filter(".set-aside-").size() > 2 * SafeFile::kKeptAside)
                return wrong("set-aside files beyond the bound");
        }
        const QHash<QString, int> start = counted(atStart.value(folder));
        QHash<QString, int> least = start;
        for (auto [piece, n] : deleted.asKeyValueRange())
            least[piece] -= n;
        QHash<QString, int> bound = most;
        for (auto [piece, n] : added.asKeyValueRange())
            bound[piece] += n;
        // A fallback of the world's start has no note: its results beyond the score file's count
        // as its own, so a result deleted from the score file comes back from one that holds it.
        QString fallbacks; // any folder's: a folder linked to another shows its fallback too
        for (const QString &other : world.folders)
            fallbacks += ScoreText::normaliseLineBreaks(
                Cp1251::decode(bytesAtStart.value(other + "/score.inf")));
        const QHash<QString, int> inFallback = counted(fallbacks);
        QHash<QString, int> collapsed;
        for (qsizetype i = 0; i < world.games.size(); ++i) {
            const Game &game = world.games[i];
            if (game.folder != folder || runs[i].fate != Run::Fate::Saved)
                continue;
            // A save to the fallback of the world's start, which has no note, may count a result
            // as one with an equal one that the score file holds.
            const bool collapses =
                !runs[i].wroteScoreFile && !bytesAtStart.value(folder + "/score.inf").isEmpty();
            QStringList adds;
            for (const QString &line : game.adds)
                adds << result(line);
            if (runs[i].edited)
                adds << result(game.edits + ", edited");
            for (const QString &piece : adds)
                ++(collapses ? collapsed : least)[piece];
            // A deletion written to the score file stays, unless a game that had loaded the list
            // before saved after it (or may have: killed in its save).
            const auto mayShow = [&](const Run &other) {
                return &other != &runs[i] && other.fate != Run::Fate::Refused
                    && other.loadedAt < runs[i].savedAt;
            };
            if (runs[i].wroteScoreFile && std::none_of(runs.begin(), runs.end(), mayShow)) {
                for (const auto &[line, found] : {std::pair(game.deletes, runs[i].deleted),
                                                  std::pair(game.edits, runs[i].edited)})
                    bound[result(line)] -= found && !inFallback.contains(result(line)) ? 1 : 0;
            }
        }
        for (const QString &piece : collapsed.keys())
            least[piece] = std::max(least[piece], deleted[piece] ? 0 : 1);
        const QHash<QString, int> now = counted(shown);
        for (auto [piece, n] : now.asKeyValueRange()) {
            if (!bound.contains(piece) || n > bound[piece])
                return wrong(
                    QString("%1 shown %2 times, at most %3").arg(piece).arg(n).arg(bound[piece]));
        }
        for (auto [piece, n] : least.asKeyValueRange()) {
            if (now.value(piece) < n)
                return wrong(QString("%1 shown %2 times, at least %3")
                                 .arg(piece)
                                 .arg(now.value(piece))
                                 .arg(n));
        }
        // The duty: a save refused by nothing of the world (a turn held, no permission, no room,
        // the world changed under it) writes one of the two files.
        const ino_t primary = folderOf(folder + "/base/data/score.inf");
        struct stat own {};
        ::stat(qPrintable(folder), &own);
        const ino_t fallback =
            QFileInfo::exists(folder + "/score.inf") ? folderOf(folder + "/score.inf") : own.st_ino;
        for (qsizetype i = 0; i < world.games.size(); ++i) {
            const Run &run = runs[i];
            if (world.games[i].folder != folder || run.fate != Run::Fate::Refused || run.eventInSave
                || run.met.full)
                continue;
            // The score file's backups, and what a save keeps aside, lie in the game's folder.
            const bool primaryRefused = !primary || run.met.refused.contains(primary)
                || run.met.refused.contains(own.st_ino) || run.unreadable
                || QFileInfo(folder + "/base/data/score.inf").isDir();
            if (!primaryRefused || !run.met.refused.contains(fallback))
                return wrong("a save with a way open failed: " + run.error);
        }
    }
    return {};
}

// The world's named shapes: each fixes what it names, the seed draws the rest.
const QList<Shape> kShapes = {
    {"drawn"},
    {"a power cut", -1, Fault::Cut, false},
    // At the sync of the file written in place, after the backup's and its folder's.
    {"a power cut while writing in place", -1, Fault::Cut, false, false, 2, 2},
    {"a game stopped", -1, Fault::Stop, false},
    {"a game killed", -1, Fault::Kill, false},
    {"the world changes during a save", -1, Fault::None, false, true},
    {"hard links", 2},
    {"hard links, one folder read-only", 2, Fault::Kill, true, false, 2},
    {"a linked data folder", 3},
    {"the score file a link to the fallback", 4},
    {"the score file a link to the fallback, players only looking", 4, Fault::None, true, false, -1,
     -1, true},
};

} // namespace

class TestSaveSchedules : public QObject {
    Q_OBJECT

private:
    // Plays the world of `seed` shaped by `shape`; fails with its description.
    static bool runOne(const Shape &shape, quint32 seed)
    {
        // In memory where the machine has it: a schedule's syncs then cost nothing.
        const QString base = QFileInfo("/dev/shm").isWritable() ? "/dev/shm" : QDir::tempPath();
        QTemporaryDir dir(base + "/pemy-schedule-XXXXXX");
        dir.setAutoRemove(qEnvironmentVariableIsEmpty("PEMY_SEED")); // a replay's world stays
        QDir::setCurrent(dir.path());
        writeFile("outside/data/score.inf", "Decoy outside\r\n");
        const World world = draw(seed, shape);
        QHash<QString, QString> atStart;
        QHash<QString, QByteArray> bytesAtStart;
        for (const QString &folder : world.folders) {
            QDir::setCurrent(folder);
            atStart[folder] = ScoreFile::load(Disk::system()).text;
            QDir::setCurrent("..");
            for (const QString &file : {folder + "/base/data/score.inf", folder + "/score.inf"}) {
                QFile raw(file);
                bytesAtStart[file] = raw.open(QIODevice::ReadOnly) ? raw.readAll() : QByteArray();
            }
        }
        const QHash<QString, QString> outside = tree("outside");
        QString wrong;
        {
            Durable durable(dir.path());
            const QList<Run> runs = play(world, dir.path(), durable);
            if (world.fault == Fault::Cut) {
                QRandomGenerator random(~seed);
                durable.cut(random);
            }
            wrong = check(world, runs, atStart, bytesAtStart, outside);
        }
        // Folders made read-only go back to the owner, so that the root can be removed.
        QDirIterator it(dir.path(), QDir::Dirs | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            ::chmod(qPrintable(it.next()), 0700);
        QDir::setCurrent(QDir::tempPath());
        ++s_schedules;
        if (wrong.isEmpty())
            return true;
        qWarning().noquote() << shape.name << world.describe() << "in" << dir.path()
                             << "failed:" << wrong;
        return false;
    }
    static inline long s_schedules = 0;

private slots:
    void cleanupTestCase() { qInfo("%ld schedules run", s_schedules); }

    // Each shape: seeded worlds (PEMY_SCHEDULES of them, 100 by default), or PEMY_SEED alone.
    void worlds_data()
    {
        QTest::addColumn<int>("shape");
        for (int i = 0; i < kShapes.size(); ++i)
            QTest::newRow(kShapes[i].name) << i;
    }
    void worlds()
    {
        QFETCH(int, shape);
        const QByteArray replay = qgetenv("PEMY_SEED");
        const int count = replay.isEmpty() ? qEnvironmentVariableIntValue("PEMY_SCHEDULES") : 1;
        int failures = 0;
        for (int n = 0; n < (count > 0 ? count : 100) && failures < 3; ++n) {
            const quint32 seed =
                replay.isEmpty() ? quint32(shape) * 1000003u + quint32(n) : replay.toUInt();
            failures += runOne(kShapes[shape], seed) ? 0 : 1;
        }
        // Worlds beyond the first hundred that once found a fault, replayed with their shape (a
        // seed draws the same world while the generator stays as it is).
        for (const quint32 seed : {3000361u}) // a stopped game: a fallback saved without its note
            failures += replay.isEmpty() && seed / 1000003u == quint32(shape)
                && !runOne(kShapes[shape], seed);
        QCOMPARE(failures, 0);
    }
};

QTEST_GUILESS_MAIN(TestSaveSchedules)
#include "test_SaveSchedules.moc"
