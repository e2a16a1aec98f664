#include "DacOff.h"
#include "FaultyDisk.h"
#include "formats/GameError.h"
#include "score/ScoreFile.h"
#include "score/ScoreText.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/file.h>

#include <functional>
#include <memory>

namespace {

// The disk of every load and save here; init() gives each test a new one.
FaultyDisk g_disk;

ScoreFile::Loaded loadList()
{
    return ScoreFile::load(g_disk);
}

ScoreFile::Loaded saveList(const QString &text, const ScoreFile::Loaded &last = {})
{
    return ScoreFile::save(text, last, g_disk);
}

// The backup of a write in place of the usual score file, beside base/.
const QString kBackup = QString("score.inf") + ScoreFile::kBackupSuffix;

// Вася - 60 (the name in Windows-1251, then the separator and digits).
const QByteArray kVasya("\xC2\xE0\xF1\xFF - 60");

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// The inode of `path`, 0 when there is no file: a file written in place keeps it, a replaced one
// does not.
ino_t inodeOf(const char *path)
{
    struct stat status {};
    return ::stat(path, &status) == 0 ? status.st_ino : 0;
}

// Makes `path` impossible to replace as a file, for every user: a directory stands in its place.
void blockWithDirectory(const QString &path)
{
    QVERIFY(QDir().mkpath(path));
    writeFile(path + "/keep", "x");
}

QString saveError(const QString &text, const ScoreFile::Loaded &last = {})
{
    try {
        saveList(text, last);
    } catch (const GameError &error) {
        return error.text();
    }
    return {};
}

// How many descriptors the process holds open.
int openDescriptors()
{
    return QDir("/proc/self/fd")
        .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
        .size();
}

// Files in `dir` other than those given: what a save left behind.
QStringList strayFiles(const QString &dir, const QStringList &expected)
{
    QStringList stray = QDir(dir).entryList(QDir::Files | QDir::System | QDir::Hidden);
    for (const QString &name : expected)
        stray.removeAll(name);
    // A fallback's note lies beside it, never alone.
    stray.removeIf([&dir](const QString &name) {
        const qsizetype note = name.indexOf(".pemy-note-");
        return note > 0 && QFileInfo::exists(dir + '/' + name.left(note));
    });
    return stray;
}

// Fills the file system that holds `dir` to the last byte ("space"), to the last inode ("inodes")
// or both ("both"), with files named fill*.
void fillFileSystem(const QString &dir, const QString &what)
{
    QFile filler(dir + "/fill");
    if (what != "inodes" && filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        const QByteArray block(512, 'f');
        while (filler.write(block) == block.size()) {
        }
    }
    for (int i = 0; what != "space" && i < 100000; ++i) {
        QFile empty(dir + QString("/fill%1").arg(i));
        if (!empty.open(QIODevice::WriteOnly))
            break;
    }
}

// Runs `body` in a child process with a private mount namespace in which a fresh tmpfs mounted
// with `options` covers `mountPoint`. Returns what `body` returned, or "SKIP: ..." when the machine
// refuses namespaces. The child sees the working directory as the parent left it.
QString inSmallFileSystem(const QString &mountPoint, const QByteArray &options,
                          const std::function<QString()> &body)
{
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return "SKIP: no pipe";
    const QByteArray point = QFileInfo(mountPoint).absoluteFilePath().toLocal8Bit();
    const uid_t uid = geteuid();
    const gid_t gid = getegid();
    const pid_t pid = fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        const auto report = [&](const QString &text) {
            const QByteArray bytes = text.toUtf8();
            if (::write(pipeFds[1], bytes.constData(), bytes.size()) < 0)
                _exit(2);
            _exit(0);
        };
        const auto writeProc = [](const char *path, const QByteArray &line) {
            const int fd = ::open(path, O_WRONLY);
            const bool ok = fd >= 0 && ::write(fd, line.constData(), line.size()) == line.size();
            if (fd >= 0)
                ::close(fd);
            return ok;
        };
        if (uid == 0 ? unshare(CLONE_NEWNS) != 0
                     : unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0
                    || !writeProc("/proc/self/setgroups", "deny")
                    || !writeProc("/proc/self/uid_map", "0 " + QByteArray::number(uid) + " 1")
                    || !writeProc("/proc/self/gid_map", "0 " + QByteArray::number(gid) + " 1"))
            report("SKIP: no private mount namespace here");
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
            || mount("tmpfs", point.constData(), "tmpfs", 0, options.constData()) != 0)
            report("SKIP: no tmpfs mount here");
        report(body());
    }
    ::close(pipeFds[1]);
    QByteArray out;
    char chunk[4096];
    for (ssize_t n; (n = ::read(pipeFds[0], chunk, sizeof chunk)) > 0;)
        out.append(chunk, n);
    ::close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "child failed";
    return QString::fromUtf8(out);
}

// A backup as a write in place keeps it: the target's device and inode, the old and new bytes.
QByteArray backupOf(const char *target, const QByteArray &old, const QByteArray &bytes)
{
    struct stat status {};
    ::stat(target, &status);
    const auto sha = [](const QByteArray &b) {
        return QCryptographicHash::hash(b, QCryptographicHash::Sha256).toHex();
    };
    return "PEMY-BACKUP 1\n" + QByteArray::number(qulonglong(status.st_dev)) + ' '
        + QByteArray::number(qulonglong(status.st_ino)) + '\n' + QByteArray::number(old.size())
        + ' ' + sha(old) + '\n' + QByteArray::number(bytes.size()) + ' ' + sha(bytes) + '\n' + old
        + bytes;
}

// The largest resident size the process has had, in megabytes.
long peakMegabytes()
{
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

} // namespace

class TestScoreFile : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        g_disk = FaultyDisk();
        m_dir = std::make_unique<QTemporaryDir>();
        m_oldDir = QDir::currentPath();
        QDir::setCurrent(m_dir->path());
    }
    void cleanup()
    {
        QDir::setCurrent(m_oldDir);
        m_dir.reset();
    }

    // Loading decodes Windows-1251, makes every break CR LF and stops at the first zero byte;
    // the path's letter case on disk does not matter.
    void load()
    {
        writeFile("Base/DATA/Score.INF", kVasya + "\n-\r\r\nb\0tail\n");
        QCOMPARE(loadList().text, QString::fromUtf8("Вася - 60\r\n-\r\n\r\nb"));
    }

    // Nothing readable at the path gives the empty list, without an error and without blocking;
    // only a file that stands there unread is reported, so that no save replaces it.
    void loadFailures_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<bool>("unreadable");
        QTest::newRow("no file") << "none" << false;
        QTest::newRow("directory") << "directory" << true;
        QTest::newRow("FIFO without a writer") << "fifo" << true;
        QTest::newRow("write-only file") << "writeonly" << true;
    }
    void loadFailures()
    {
        QFETCH(QString, what);
        QFETCH(bool, unreadable);
        QDir().mkpath("base/data");
        if (what == "directory")
            QDir().mkpath("base/data/score.inf");
        else if (what == "fifo")
            QCOMPARE(mkfifo("base/data/score.inf", 0644), 0);
        else if (what == "writeonly")
            writeFile("base/data/score.inf", "a\r\n");
        QFile::setPermissions("base/data/score.inf", QFile::WriteOwner);
        const DacOff permissionsBind;
        if (what == "writeonly" && QFile("base/data/score.inf").open(QIODevice::ReadOnly))
            QSKIP("file permissions do not bind here");
        const ScoreFile::Loaded loaded = loadList();
        QCOMPARE(loaded.text, QString());
        QCOMPARE(loaded.unreadable, unreadable);
    }

    // A score file that stood there unread is never replaced: the list goes to the fallback and the
    // file keeps what it holds. A FIFO is never written through, even when it appeared after the
    // load.
    void unreadableFileIsKept_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("write-only file") << "writeonly";
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("FIFO made after the load") << "late fifo";
    }
    void unreadableFileIsKept()
    {
        QFETCH(QString, what);
        QDir().mkpath("base/data");
        if (what == "writeonly") {
            writeFile("base/data/score.inf", "old\r\n");
            QFile::setPermissions("base/data/score.inf", QFile::WriteOwner);
        } else if (what == "fifo") {
            QCOMPARE(mkfifo("base/data/score.inf", 0644), 0);
        }
        QString error;
        {
            const DacOff permissionsBind;
            if (what == "writeonly" && QFile("base/data/score.inf").open(QIODevice::ReadOnly))
                QSKIP("file permissions do not bind here");
            const ScoreFile::Loaded loaded = loadList();
            if (what == "late fifo")
                QCOMPARE(mkfifo("base/data/score.inf", 0644), 0);
            error = saveError("new\r\n", loaded);
        }
        QCOMPARE(error, QString());
        QCOMPARE(readFile("score.inf"), QByteArray("new\r\n"));
        if (what == "writeonly") {
            QFile::setPermissions("base/data/score.inf", QFile::ReadOwner | QFile::WriteOwner);
            QCOMPARE(readFile("base/data/score.inf"), QByteArray("old\r\n"));
        } else {
            struct stat status {};
            QCOMPARE(::stat("base/data/score.inf", &status), 0);
            QVERIFY(S_ISFIFO(status.st_mode));
        }
        QCOMPARE(strayFiles("base/data", {"score.inf"}), QStringList());
    }

    // The whole text goes to the existing file, byte for byte, in Windows-1251, at every save of a
    // session; no base/data is made beside a differently spelt Base/Data, and the fallback stays
    // untouched.
    void saveReplacesExistingFile()
    {
        writeFile("Base/Data/score.inf", "old old old old");
        const ScoreFile::Loaded saved = saveList(QString::fromUtf8("Вася - 60\r\nx"), loadList());
        QCOMPARE(readFile("Base/Data/score.inf"), kVasya + "\r\nx");
        saveList(saved.text + "\r\ny", saved);
        QCOMPARE(readFile("Base/Data/score.inf"), kVasya + "\r\nx\r\ny");
        QVERIFY(!QFileInfo::exists("base"));
        QVERIFY(!QFileInfo::exists("score.inf"));
    }

    // Without a score file an existing data directory (any letter case) receives a new one.
    void saveCreatesFileInDataDirectory()
    {
        QDir().mkpath("BASE/data");
        saveList("a\r\n");
        QCOMPARE(readFile("BASE/data/score.inf"), QByteArray("a\r\n"));
        QVERIFY(!QFileInfo::exists("score.inf"));
    }

    // When the score file cannot be written (here a file in place of its folder; the generated
    // worlds draw the other ways), the text goes whole to score.inf in the working directory,
    // silently. Once the score file can be written, the next save writes it, also where the game's
    // folder now refuses the fallback's note: the fallback then keeps what only it holds, and every
    // result is shown once.
    void fallback()
    {
        writeFile("base/data", "not a directory");
        saveList("new\r\n");
        QCOMPARE(readFile("score.inf"), QByteArray("new\r\n"));
        QVERIFY(QFile::remove("base/data") && QDir().mkpath("base/data"));
        const ScoreFile::Loaded last = loadList();
        QFile::setPermissions(".", QFile::ReadOwner | QFile::ExeOwner);
        {
            const DacOff permissionsBind;
            saveList(last.text + "more\r\n", last);
            QCOMPARE(readFile("base/data/score.inf"), QByteArray("more\r\n"));
            QCOMPARE(loadList().text, QString("more\r\nnew\r\n"));
        }
        QFile::setPermissions(".", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // An empty list is saved as an empty file, not as no file.
    void emptyTextGivesEmptyFile()
    {
        saveList(QString());
        QVERIFY(QFileInfo("score.inf").isFile());
        QCOMPARE(QFileInfo("score.inf").size(), 0);
    }

    // When neither file can be created the error names the fallback file.
    void bothCannotBeCreated()
    {
        blockWithDirectory("base/data/score.inf");
        blockWithDirectory("score.inf");
        QCOMPARE(saveError("x"), QString("Cannot create file score.inf"));
    }

    // A save through links writes the file at the end of the chain where it lies: every link stays
    // a link, and the file keeps its owner and permissions, even when root saves another user's
    // file, and when a new file could not be given to its owner (it is then written in place).
    void saveThroughLinks_data()
    {
        QTest::addColumn<QStringList>("links"); // each link, then what it points to
        QTest::addColumn<uint>("owner");
        QTest::addColumn<bool>("mayChown");
        const QStringList oneLink{"base/data/score.inf", "../../elsewhere/real.inf"};
        QTest::newRow("a link") << oneLink << 0u << true;
        QTest::newRow("a chain of two links")
            << QStringList{"base/data/score.inf", "../../links/first", "links/first",
                           "../elsewhere/real.inf"}
            << 0u << true;
        QTest::newRow("another user's file") << oneLink << 65534u << true;
        QTest::newRow("another user's file, no right to give files") << oneLink << 65534u << false;
    }
    void saveThroughLinks()
    {
        QFETCH(QStringList, links);
        QFETCH(uint, owner);
        QFETCH(bool, mayChown);
        writeFile("elsewhere/real.inf", "old\r\n");
        QFile::setPermissions("elsewhere/real.inf",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        if (owner != 0 && (geteuid() != 0 || ::chown("elsewhere/real.inf", owner, owner) != 0))
            QSKIP("only root saves another user's file");
        for (qsizetype i = 0; i < links.size(); i += 2) {
            QDir().mkpath(QFileInfo(links[i]).path());
            QVERIFY(QFile::link(links[i + 1], links[i]));
        }
        const ScoreFile::Loaded loaded = loadList();
        QCOMPARE(loaded.text, QString("old\r\n"));
        {
            const DacOff noChown(mayChown ? 0 : 1u << CAP_CHOWN);
            saveList(loaded.text + "new\r\n", loaded);
        }
        for (qsizetype i = 0; i < links.size(); i += 2)
            QVERIFY2(QFileInfo(links[i]).isSymLink(), qPrintable(links[i]));
        QCOMPARE(readFile("elsewhere/real.inf"), QByteArray("old\r\nnew\r\n"));
        struct stat status {};
        QCOMPARE(::stat("elsewhere/real.inf", &status), 0);
        QCOMPARE(status.st_mode & 07777, 0640u);
        QCOMPARE(status.st_uid, owner ? owner : geteuid());
        QCOMPARE(status.st_gid, owner ? owner : getegid());
        QCOMPARE(strayFiles("elsewhere", {"real.inf"}), QStringList());
        QVERIFY(!QFileInfo::exists("score.inf"));
    }

    // When the data directory refuses the temporary file (as a read-only one does in the generated
    // worlds) but the score file itself may be written, the file is written in place (same file,
    // exact new length), not the fallback; the copy of the old bytes kept meanwhile is gone
    // afterwards.
    void inPlaceWhenDirectoryRefusesTemporary_data()
    {
        QTest::addColumn<QByteArray>("old");
        QTest::addColumn<QString>("text");
        QTest::newRow("longer text") << QByteArray("old\r\n") << "new text\r\nline\r\n";
        QTest::newRow("shorter text") << QByteArray(5000, 'o') << "new\r\n";
    }
    void inPlaceWhenDirectoryRefusesTemporary()
    {
        QFETCH(QByteArray, old);
        QFETCH(QString, text);
        writeFile("base/data/score.inf", old);
        const ino_t before = inodeOf("base/data/score.inf");
        g_disk.fail(FaultyDisk::Step::Create, 1);
        const QString error = saveError(text, loadList());
        g_disk.fail(FaultyDisk::Step::None);
        QCOMPARE(error, QString());
        QCOMPARE(readFile("base/data/score.inf"), text.toLatin1());
        QCOMPARE(inodeOf("base/data/score.inf"), before);
        QCOMPARE(strayFiles("base/data", {"score.inf"}), QStringList());
        QCOMPARE(strayFiles(".", {}), QStringList());
    }

    // A write in place that fails half-way puts the old bytes back at once (the file was written:
    // its time changed), and its copy goes; a copy that cannot be written, or whose folder entry
    // cannot be synced, leaves the file alone and no part of the copy behind. The text goes to the
    // fallback.
    void failedInPlaceWriteRestoresOldBytes_data()
    {
        QTest::addColumn<FaultyDisk::Step>("step");
        QTest::addColumn<int>("times");
        QTest::addColumn<bool>("written");
        QTest::newRow("the write fails") << FaultyDisk::Step::Sync << 1 << true;
        QTest::newRow("the write fails, and so does putting back")
            << FaultyDisk::Step::Sync << 2 << true;
        QTest::newRow("the copy cannot be kept") << FaultyDisk::Step::Write << 1 << false;
        QTest::newRow("the copy's folder cannot be synced")
            << FaultyDisk::Step::SyncFolder << 1 << false;
    }
    void failedInPlaceWriteRestoresOldBytes()
    {
        QFETCH(FaultyDisk::Step, step);
        QFETCH(int, times);
        QFETCH(bool, written);
        writeFile("base/data/score.inf", "old score\r\n");
        const struct timespec longAgo[2] = {{1000000000, 0}, {1000000000, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, "base/data/score.inf", longAgo, 0), 0);
        g_disk.fail(FaultyDisk::Step::Create, 1);
        g_disk.fail(step, times, written ? 1 : 0); // the copy's own step passes, or fails
        const QString error = saveError("new text, longer than the old score\r\n", loadList());
        g_disk.fail(FaultyDisk::Step::None);
        QCOMPARE(error, QString());
        QCOMPARE(readFile("base/data/score.inf"), QByteArray("old score\r\n"));
        if (written)
            QVERIFY(QFileInfo("base/data/score.inf").lastModified().toSecsSinceEpoch()
                    > 1000000000);
        QCOMPARE(readFile("score.inf"), QByteArray("new text, longer than the old score\r\n"));
        // Whole bytes that may not be on disk: the copy stays for the next start.
        QCOMPARE(strayFiles(".", {"score.inf"}).size(), times - 1);
        // The result that went to the fallback is shown beside the score file's.
        QCOMPARE(loadList().text, QString("old score\r\nnew text, longer than the old score\r\n"));
        QCOMPARE(strayFiles(".", {"score.inf"}), QStringList());
    }

    // A save killed (by a real SIGKILL) in the middle of a write in place, whose cut file cannot
    // be put back (here read-only): the file counts as unreadable, the fallback is read and written
    // and it waits; once writable again, the next start puts the old bytes back. The generated
    // worlds kill and cut saves at every call.
    void killedSave()
    {
        const QString old = "old score, long enough to be cut in its middle\r\n";
        writeFile("base/data/score.inf", old.toLatin1());
        writeFile("base/data/score.inf.pemy", "the player's own");
        const pid_t pid = fork();
        if (pid == 0) {
            g_disk.fail(FaultyDisk::Step::Create, 1);
            g_disk.killAt(FaultyDisk::Step::Write);
            saveList("NEW SCORE, ALSO LONG ENOUGH TO BE CUT IN ITS MIDDLE\r\nline\r\n", loadList());
            _exit(0);
        }
        int status = 0;
        QCOMPARE(waitpid(pid, &status, 0), pid);
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        QVERIFY(readFile("base/data/score.inf") != old.toLatin1());
        QFile::setPermissions("base/data/score.inf", QFile::ReadOwner);
        {
            const DacOff permissionsBind;
            if (QFile("base/data/score.inf").open(QIODevice::WriteOnly | QIODevice::Append))
                QSKIP("file permissions do not bind here");
            const ScoreFile::Loaded cut = loadList();
            QCOMPARE(cut.text, QString());
            QVERIFY(cut.unreadable);
            saveList("meanwhile\r\n", cut);
        }
        QCOMPARE(readFile("score.inf"), QByteArray("meanwhile\r\n"));
        QVERIFY(QFile::remove("score.inf"));
        QFile::setPermissions("base/data/score.inf", QFile::ReadOwner | QFile::WriteOwner);
        const ScoreFile::Loaded next = loadList(); // the next start
        QCOMPARE(next.text, old);
        QCOMPARE(readFile("base/data/score.inf"), next.text.toLatin1());
        QCOMPARE(strayFiles(".", {}), QStringList());
        saveList(next.text + "more\r\n", next);
        QCOMPARE(readFile("base/data/score.inf"), (next.text + "more\r\n").toLatin1());
        QCOMPARE(strayFiles("base/data", {"score.inf", "score.inf.pemy"}), QStringList());
        QCOMPARE(readFile("base/data/score.inf.pemy"), QByteArray("the player's own"));
    }

    // A step of the write that fails (creation, write, sync, rename, the folder's sync) leaves the
    // old score file whole, or whole and new when only the folder's sync failed, and no temporary
    // file nor open descriptor behind; the fallback then gets the list, keeping the lines it holds,
    // or when it fails as well keeps its old text and the error box says the write failed. A score
    // file whose read fails is left too; an interrupted read or write goes on, and a temporary name
    // that another file took is skipped, up to the last of 64 names: then the file is written in
    // place.
    void failingStepKeepsOldFiles_data()
    {
        QTest::addColumn<FaultyDisk::Step>("step");
        QTest::addColumn<int>("times");
        QTest::addColumn<int>("after");
        QTest::addColumn<QString>("expected");
        using Step = FaultyDisk::Step;
        const QString toFallback = "error=;score=old;fallback=new;stray=";
        const QString streamError = "error=Stream write error;score=old;fallback=old;stray=";
        // The score file written, the fallback whose lines the list showed is gone.
        const QString written = "error=;score=new;fallback=none;stray=";
        QTest::newRow("write fails on the score file") << Step::Write << 1 << 0 << toFallback;
        QTest::newRow("sync fails on the score file") << Step::Sync << 1 << 0 << toFallback;
        QTest::newRow("rename fails on the score file") << Step::Rename << 1 << 0 << toFallback;
        QTest::newRow("folder sync fails on the score file")
            << Step::SyncFolder << 1 << 0 << "error=;score=new;fallback=new;stray=";
        QTest::newRow("write fails everywhere") << Step::Write << 1000 << 0 << streamError;
        QTest::newRow("sync fails everywhere") << Step::Sync << 1000 << 0 << streamError;
        QTest::newRow("rename fails everywhere") << Step::Rename << 1000 << 0 << streamError;
        QTest::newRow("no file can be made anywhere")
            << Step::Create << 1000 << 0
            << "error=Cannot create file score.inf;score=old;fallback=old;stray=";
        QTest::newRow("reading the score file fails") << Step::IoError << 1 << 0 << toFallback;
        QTest::newRow("read interrupted") << Step::Interrupted << 1 << 0 << written;
        QTest::newRow("write interrupted") << Step::Interrupted << 2 << 2 << written;
        const auto taken = [](int names) { return QStringList(names, "taken").join(','); };
        QTest::newRow("temporary names taken") << Step::NameTaken << 3 << 0 << written + taken(3);
        QTest::newRow("every temporary name but the last taken")
            << Step::NameTaken << 63 << 0 << written + taken(63);
        QTest::newRow("every temporary name taken")
            << Step::NameTaken << 64 << 0
            << "error=;score=new in place;fallback=none;stray=" + taken(64);
    }
    void failingStepKeepsOldFiles()
    {
        QFETCH(FaultyDisk::Step, step);
        QFETCH(int, times);
        QFETCH(int, after);
        QFETCH(QString, expected);
        const QByteArray oldScore = "old score\r\n";
        const QByteArray oldFallback = "old fallback\r\n";
        writeFile("base/data/score.inf", oldScore);
        writeFile("score.inf", oldFallback);
        const ScoreFile::Loaded loaded = loadList();
        const QString list = loaded.text + "new\r\n";
        const ino_t scoreInode = inodeOf("base/data/score.inf");
        const int descriptors = openDescriptors();
        g_disk.fail(step, times, after);
        const QString error = saveError(list, loaded);
        g_disk.fail(FaultyDisk::Step::None);
        QCOMPARE(openDescriptors(), descriptors);
        const auto classify = [&](const QString &path, const QByteArray &old) {
            const QByteArray bytes = readFile(path);
            return !QFileInfo::exists(path)                ? QString("none")
                : bytes == old                             ? QString("old")
                : bytes == list.toLatin1()                 ? QString("new")
                : bytes == (list.toLatin1() + oldFallback) ? QString("merged")
                                                           : QString::fromLatin1(bytes);
        };
        QString score = classify("base/data/score.inf", oldScore);
        if (score == "new" && inodeOf("base/data/score.inf") == scoreInode)
            score = "new in place";
        QStringList stray;
        for (const QString &dir : {QString("base/data"), QString(".")}) {
            for (const QString &name : strayFiles(dir, {"score.inf"}))
                stray << QString::fromLatin1(readFile(dir + '/' + name));
        }
        QCOMPARE(QString("error=%1;score=%2;fallback=%3;stray=%4")
                     .arg(error, score, classify("score.inf", oldFallback), stray.join(',')),
                 expected);
    }

    // On a real full file system (a small tmpfs) a save never leaves a damaged score file: it is
    // replaced whole, or written in place when only inodes have run out and the new bytes fit, or
    // kept as it was while the text goes whole to the fallback or the error box says the write
    // failed.
    void fullFileSystem_data()
    {
        QTest::addColumn<QString>("mountPoint");
        QTest::addColumn<QByteArray>("options");
        QTest::addColumn<QString>("fill");
        QTest::addColumn<int>("oldSize");
        QTest::addColumn<int>("newSize");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no space, fallback elsewhere")
            << "base/data" << QByteArray("size=64k") << "space" << 11 << 16000
            << "error=;score=old;fallback=new;stray=";
        QTest::newRow("no space, fallback on the same disk")
            << "." << QByteArray("size=64k") << "space" << 11 << 16000
            << "error=Stream write error;score=old;fallback=old;stray=";
        QTest::newRow("no inode, space left")
            << "base/data" << QByteArray("size=1m,nr_inodes=16") << "inodes" << 11 << 16000
            << "error=;score=new;fallback=none;stray=";
        QTest::newRow("no inode, no space, longer text")
            << "base/data" << QByteArray("size=64k,nr_inodes=16") << "both" << 11 << 16000
            << "error=;score=old;fallback=new;stray=";
        QTest::newRow("no inode, no space, shorter text")
            << "base/data" << QByteArray("size=64k,nr_inodes=16") << "both" << 9000 << 100
            << "error=;score=new;fallback=none;stray=";
    }
    void fullFileSystem()
    {
        QFETCH(QString, mountPoint);
        QFETCH(QByteArray, options);
        QFETCH(QString, fill);
        QFETCH(int, oldSize);
        QFETCH(int, newSize);
        QFETCH(QString, expected);
        QDir().mkpath("base/data");
        const QByteArray oldScore(oldSize, 's');
        const QByteArray oldFallback("old fallback");
        const QString text(newSize, u'n');
        const QString result = inSmallFileSystem(mountPoint, options, [&] {
            QDir::setCurrent(QDir::current().absolutePath()); // enter the tmpfs when it covers "."
            QDir().mkpath("base/data");
            writeFile("base/data/score.inf", oldScore);
            if (mountPoint == ".")
                writeFile("score.inf", oldFallback);
            fillFileSystem("base/data", fill);
            const ScoreFile::Loaded loaded = loadList();
            const int descriptors = openDescriptors();
            const QString error = saveError(text, loaded);
            const QString leaked =
                openDescriptors() != descriptors ? QString(";descriptors left open") : QString();
            const auto classify = [&](const QString &path, const QByteArray &old) {
                if (!QFileInfo::exists(path))
                    return QString("none");
                const QByteArray bytes = readFile(path);
                return bytes == old            ? QString("old")
                    : bytes == text.toLatin1() ? QString("new")
                                               : QString("damaged");
            };
            QStringList stray = strayFiles("base/data", {"score.inf"});
            stray.removeIf([](const QString &name) { return name.startsWith("fill"); });
            return QString("error=%1;score=%2;fallback=%3;stray=%4")
                       .arg(error, classify("base/data/score.inf", oldScore),
                            classify("score.inf", oldFallback), stray.join(","))
                + leaked;
        });
        if (result.startsWith("SKIP: "))
            QSKIP(qPrintable(result.mid(6) + "; the injected failures cover it"));
        QCOMPARE(result, expected);
    }

    // A backup is never trusted: its target is this folder's score file, whatever it names; it
    // applies only to a cut of the very write it protects (that file, its old bytes and new bytes
    // told by size and SHA-256). Any other backup is set aside under another name, never applied,
    // and the score file, and any file it names, keep what they hold.
    void plantedBackupIsSetAside_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("applies");
        QTest::newRow("naming a file outside the folder") << "outside" << false;
        QTest::newRow("naming its own file, stale, the old format") << "stale old format" << false;
        QTest::newRow("its own file, stale") << "stale" << false;
        QTest::newRow("malformed") << "malformed" << false;
        QTest::newRow("a cut, its hash wrong") << "bad hash" << false;
        // The old bytes' beginning, which the cut overwrote: only their hash tells.
        QTest::newRow("a cut, the old bytes' hash wrong") << "bad old hash" << false;
        QTest::newRow("a cut of another file (its inode)") << "foreign" << false;
        QTest::newRow("a link to /proc/self/pagemap") << "link" << false;
        QTest::newRow("a cut of the very write it protects") << "cut" << true;
    }
    void plantedBackupIsSetAside()
    {
        QFETCH(QString, kind);
        QFETCH(bool, applies);
        const char *score = "base/data/score.inf";
        const QByteArray now = "A\r\nB\r\nsaved since\r\n";
        const QByteArray old = "A\r\nOLD\r\n"; // under ten bytes: a one-digit size
        const QByteArray bytes = "A\r\nB\r\nnew and longer text\r\n";
        const QByteArray cut = bytes.left(6) + old.mid(6);
        writeFile(score, kind == "cut" || kind.startsWith("bad") || kind == "foreign" ? cut : now);
        writeFile("outside.txt", "outside\r\n");
        writeFile("other.txt", "other\r\n");
        const QByteArray outside = QFileInfo("outside.txt").absoluteFilePath().toLocal8Bit();
        QByteArray planted;
        if (kind == "outside")
            planted = outside + "\n5 3 "
                + QCryptographicHash::hash("new", QCryptographicHash::Sha256).toHex() + "\nPWNED";
        else if (kind == "stale old format")
            planted = QFileInfo(score).absoluteFilePath().toLocal8Bit() + "\n"
                + QByteArray::number(old.size()) + " 3 "
                + QCryptographicHash::hash("new", QCryptographicHash::Sha256).toHex() + "\n" + old;
        else if (kind == "stale")
            planted = backupOf(score, old, bytes);
        else if (kind == "malformed")
            planted = "PEMY-BACKUP 1\n1 2\nnonsense";
        else if (kind == "bad old hash")
            planted = backupOf(score, old, bytes).replace(old, "A\r\nQLD\r\n");
        else if (kind == "bad hash")
            planted = backupOf(score, old, bytes).replace(old, "A\r\nOLX\r\n");
        else if (kind == "foreign")
            planted = backupOf("other.txt", old, bytes);
        else if (kind == "cut")
            planted = backupOf(score, old, bytes);
        if (kind == "link")
            QVERIFY(QFile::link("/proc/self/pagemap", kBackup));
        else
            writeFile(kBackup, planted);
        const QByteArray before = readFile(score);

        const ScoreFile::Loaded loaded = loadList();
        QCOMPARE(readFile(score), applies ? old : before);
        QCOMPARE(loaded.text, QString::fromLatin1(applies ? old : before));
        QCOMPARE(readFile("outside.txt"), QByteArray("outside\r\n"));
        QCOMPARE(readFile("other.txt"), QByteArray("other\r\n"));
        QVERIFY(!QFileInfo::exists(kBackup) && !QFileInfo(kBackup).isSymLink());
        const auto setAside = [] {
            return QDir().entryList({kBackup + ".set-aside-*"},
                                    QDir::Files | QDir::System | QDir::Hidden);
        };
        const QStringList aside = setAside();
        QCOMPARE(aside.size(), applies ? 0 : 1);
        if (!applies && kind != "link")
            QCOMPARE(readFile(aside.first()), planted);
        // A save then goes on as usual, and the set-aside copy stays as it is.
        saveList(loaded.text + "next\r\n", loaded);
        QCOMPARE(readFile(score), (applies ? old : before) + "next\r\n");
        QCOMPARE(setAside(), aside);
        // However many are planted, only the newest three set aside stay.
        for (int i = 0; i < 10; ++i)
            writeFile(kBackup + ".set-aside-" + QString::number(1000 + i), "older");
        writeFile(kBackup, planted);
        loadList();
        const QStringList kept = setAside();
        QCOMPARE(kept.size(), 3);
        QVERIFY(kept.contains(kBackup + ".set-aside-1009"));
        QVERIFY(!kept.contains(kBackup + ".set-aside-1007"));
    }

    // A score file that is a link to a /proc file (its size says 0, it never ends, or it holds the
    // machine's own data) is read no further than one byte beyond the size it reports: it counts
    // as unreadable, is kept, and the list goes to the fallback; the memory stays bounded.
    void procLinkIsBounded_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("pagemap, never ends") << "/proc/self/pagemap";
        QTest::newRow("status, says 0 bytes") << "/proc/self/status";
        QTest::newRow("kallsyms, megabytes") << "/proc/kallsyms";
    }
    void procLinkIsBounded()
    {
        QFETCH(QString, target);
        if (!QFileInfo::exists(target))
            QSKIP("no such file here");
        QVERIFY(QDir().mkpath("base/data"));
        QVERIFY(QFile::link(target, "base/data/score.inf"));
        writeFile("score.inf", "F\r\n");
        const long before = peakMegabytes();
        const ScoreFile::Loaded loaded = loadList();
        QVERIFY(loaded.unreadable);
        QCOMPARE(loaded.text, QString("F\r\n"));
        saveList(loaded.text + "G\r\n", loaded);
        QCOMPARE(readFile("score.inf"), QByteArray("F\r\nG\r\n"));
        QVERIFY2(peakMegabytes() - before < 100,
                 qPrintable(QString::number(peakMegabytes() - before)));
        QVERIFY(QFileInfo("base/data/score.inf").isSymLink());
    }

    // The bound holds for what a save writes as for what a load takes: a file whose text, its
    // breaks made CR LF, would be over the bound is not loaded (kept, as unreadable); a list that a
    // save would make larger than the bound is written nowhere, with a clear message, and the
    // files keep what they hold.
    void boundIsKeptBothWays()
    {
        // Lone CRs, just under the bound on disk, over it once every break is CR LF.
        QByteArray crOnly(ScoreText::kMaxFileBytes - 100, 'x');
        for (qsizetype i = 1; i < crOnly.size(); i += 2)
            crOnly[i] = '\r';
        writeFile("base/data/score.inf", crOnly);
        const long before = peakMegabytes();
        const ScoreFile::Loaded crLoaded = loadList();
        QVERIFY(crLoaded.unreadable);
        QCOMPARE(crLoaded.text, QString());
        saveList("new\r\n", crLoaded);
        QCOMPARE(QFileInfo("base/data/score.inf").size(), crOnly.size());
        QCOMPARE(readFile("score.inf"), QByteArray("new\r\n"));
        QVERIFY2(peakMegabytes() - before < 100,
                 qPrintable(QString::number(peakMegabytes() - before)));

        // CR LF lines of exactly the bound: loaded (a byte more is not); one more exam would be
        // over it.
        QVERIFY(QFile::remove("score.inf"));
        QByteArray full;
        const QByteArray line = "-----------------\r\n";
        while (full.size() + line.size() <= ScoreText::kMaxFileBytes)
            full += line;
        full += QByteArray(ScoreText::kMaxFileBytes - full.size(), 'y');
        writeFile("base/data/score.inf", full + 'z');
        QVERIFY(loadList().unreadable);
        writeFile("base/data/score.inf", full);
        const ScoreFile::Loaded fullLoaded = loadList();
        QVERIFY(!fullLoaded.unreadable);
        QCOMPARE(fullLoaded.text.size(), full.size());
        const QString error = saveError(
            fullLoaded.text + "\r\n-----------------\r\nVasya - 60 % списано!", fullLoaded);
        QCOMPARE(
            error,
            QString("Список очков не сохранён: он больше 10 МБ, а файл очков остался прежним"));
        QCOMPARE(readFile("base/data/score.inf"), full);
        QVERIFY(!QFileInfo::exists("score.inf"));
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_oldDir;
};

QTEST_GUILESS_MAIN(TestScoreFile)
#include "test_ScoreFile.moc"
