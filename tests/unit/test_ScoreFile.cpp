#include "DacOff.h"
#include "score/ScoreFile.h"
#include "formats/GameError.h"

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

#include <functional>
#include <memory>

namespace {

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

// Makes `path` impossible to replace as a file, for every user: a directory stands in its place.
void blockWithDirectory(const QString &path)
{
    QVERIFY(QDir().mkpath(path));
    writeFile(path + "/keep", "x");
}

QString saveError(const QString &text, bool scoreFileUnreadable = false)
{
    try {
        ScoreFile::save(text, scoreFileUnreadable);
    } catch (const GameError &error) {
        return error.text();
    }
    return {};
}

// Files in `dir` other than those given: what a save left behind.
QStringList strayFiles(const QString &dir, const QStringList &expected)
{
    QStringList stray = QDir(dir).entryList(QDir::Files | QDir::System | QDir::Hidden);
    for (const QString &name : expected)
        stray.removeAll(name);
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

} // namespace

class TestScoreFile : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
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
        QCOMPARE(ScoreFile::load().text, QString::fromUtf8("Вася - 60\r\n-\r\n\r\nb"));
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
        const ScoreFile::Loaded loaded = ScoreFile::load();
        QCOMPARE(loaded.text, QString());
        QCOMPARE(loaded.unreadable, unreadable);
    }

    // A score file that stood there unread is never replaced: the list goes to the fallback and the
    // file keeps what it holds. A FIFO is never written through, even when it appeared after the load.
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
            const ScoreFile::Loaded loaded = ScoreFile::load();
            if (what == "late fifo")
                QCOMPARE(mkfifo("base/data/score.inf", 0644), 0);
            error = saveError("new\r\n", loaded.unreadable);
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

    // The whole text goes to the existing file, byte for byte, in Windows-1251; no base/data is
    // made beside a differently spelt Base/Data, and the fallback stays untouched.
    void saveReplacesExistingFile()
    {
        writeFile("Base/Data/score.inf", "old old old old");
        ScoreFile::save(QString::fromUtf8("Вася - 60\r\nx"));
        QCOMPARE(readFile("Base/Data/score.inf"), kVasya + "\r\nx");
        QVERIFY(!QFileInfo::exists("base"));
        QVERIFY(!QFileInfo::exists("score.inf"));
    }

    // Without a score file an existing data directory (any letter case) receives a new one.
    void saveCreatesFileInDataDirectory()
    {
        QDir().mkpath("BASE/data");
        ScoreFile::save("a\r\n");
        QCOMPARE(readFile("BASE/data/score.inf"), QByteArray("a\r\n"));
        QVERIFY(!QFileInfo::exists("score.inf"));
    }

    // When the score file cannot be written, the text goes whole to score.inf in the working
    // directory, silently, and the score file keeps what it had.
    void fallback_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("no data directory") << "none";
        QTest::newRow("data is a file") << "file";
        QTest::newRow("directory in place of the file") << "directory";
        QTest::newRow("read-only file") << "readonly";
    }
    void fallback()
    {
        QFETCH(QString, how);
        if (how == "file") {
            writeFile("base/data", "not a directory");
        } else if (how == "directory") {
            blockWithDirectory("base/data/score.inf");
        } else if (how == "readonly") {
            writeFile("base/data/score.inf", "old");
            QFile::setPermissions("base/data/score.inf", QFile::ReadOwner);
        }
        {
            const DacOff permissionsBind;
            if (how == "readonly" && QFile("base/data/score.inf").open(QIODevice::WriteOnly | QIODevice::Append))
                QSKIP("file permissions do not bind here");
            ScoreFile::save("new\r\n");
        }
        QCOMPARE(readFile("score.inf"), QByteArray("new\r\n"));
        if (how == "readonly")
            QCOMPARE(readFile("base/data/score.inf"), QByteArray("old"));
    }

    // An empty list is saved as an empty file, not as no file.
    void emptyTextGivesEmptyFile()
    {
        ScoreFile::save(QString());
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

    // A write that fails part-way (here: the file size limit) leaves both old files whole, and
    // the error says the write failed.
    void failureHalfWayKeepsOldFiles()
    {
        writeFile("base/data/score.inf", "old score\r\n");
        writeFile("score.inf", "old fallback\r\n");
        const QString text = QString(100000, u'x');

        struct rlimit saved {};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limited = saved;
        limited.rlim_cur = 4096;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &limited) == 0);
        const QString error = saveError(text);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QCOMPARE(error, QString("Stream write error"));
        QCOMPARE(readFile("base/data/score.inf"), QByteArray("old score\r\n"));
        QCOMPARE(readFile("score.inf"), QByteArray("old fallback\r\n"));
        // No temporary file is left behind.
        QCOMPARE(QDir("base/data").entryList(QDir::Files), QStringList{"score.inf"});
    }

    // A link to the score file stays a link, and the file it points to keeps its permissions.
    void saveKeepsLinkAndPermissions()
    {
        writeFile("elsewhere/real.inf", "old");
        QFile::setPermissions("elsewhere/real.inf", QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        QDir().mkpath("base/data");
        QVERIFY(QFile::link("../../elsewhere/real.inf", "base/data/score.inf"));
        ScoreFile::save("new");
        QVERIFY(QFileInfo("base/data/score.inf").isSymLink());
        QCOMPARE(readFile("elsewhere/real.inf"), QByteArray("new"));
        struct stat status {};
        QCOMPARE(::stat("elsewhere/real.inf", &status), 0);
        QCOMPARE(status.st_mode & 0777, 0640u);
        QCOMPARE(strayFiles("elsewhere", {"real.inf"}), QStringList());
    }

    // When the data directory refuses the temporary file but the score file itself may be
    // written, the file is written in place (same file, exact new length), not the fallback.
    void inPlaceWhenDirectoryRefusesTemporary_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QByteArray>("old");
        QTest::addColumn<QString>("text");
        QTest::newRow("refused, longer text") << "injected" << QByteArray("old\r\n") << "new text\r\nline\r\n";
        QTest::newRow("refused, shorter text") << "injected" << QByteArray(5000, 'o') << "new\r\n";
        QTest::newRow("directory without write access") << "permissions" << QByteArray("old\r\n") << "new\r\n";
    }
    void inPlaceWhenDirectoryRefusesTemporary()
    {
        QFETCH(QString, how);
        QFETCH(QByteArray, old);
        QFETCH(QString, text);
        writeFile("base/data/score.inf", old);
        const auto inode = [] {
            struct stat status {};
            ::stat("base/data/score.inf", &status);
            return status.st_ino;
        };
        const auto before = inode();
        QString error;
        if (how == "injected") {
            ScoreFile::failForTesting(ScoreFile::Step::Create, 1);
            error = saveError(text);
            ScoreFile::failForTesting(ScoreFile::Step::None);
        } else {
            QFile::setPermissions("base/data", QFile::ReadOwner | QFile::ExeOwner);
            {
                const DacOff permissionsBind;
                if (QFile("base/data/probe").open(QIODevice::WriteOnly))
                    QSKIP("file permissions do not bind here");
                error = saveError(text);
            }
            QFile::setPermissions("base/data", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        QCOMPARE(error, QString());
        QCOMPARE(readFile("base/data/score.inf"), text.toLatin1());
        QCOMPARE(inode(), before);
        QVERIFY(!QFileInfo::exists("score.inf"));
        QCOMPARE(strayFiles("base/data", {"score.inf"}), QStringList());
    }

    // A write in place that fails half-way puts the old bytes back; the text goes to the fallback.
    void failedInPlaceWriteRestoresOldBytes()
    {
        writeFile("base/data/score.inf", "old score, longer than the new text\r\n");
        ScoreFile::failForTesting(ScoreFile::Step::Create, 1);
        ScoreFile::failForTesting(ScoreFile::Step::Sync, 1);
        const QString error = saveError("new\r\n");
        ScoreFile::failForTesting(ScoreFile::Step::None);
        QCOMPARE(error, QString());
        QCOMPARE(readFile("base/data/score.inf"), QByteArray("old score, longer than the new text\r\n"));
        QCOMPARE(readFile("score.inf"), QByteArray("new\r\n"));
    }

    // A step of the write that fails (write, sync to disk, rename) leaves the old score file whole
    // and no temporary file behind; the fallback gets the whole text, or when it fails as well,
    // keeps its old text and the error box says the write failed.
    void failingStepKeepsOldFiles_data()
    {
        QTest::addColumn<ScoreFile::Step>("step");
        QTest::addColumn<int>("times");
        QTest::addColumn<QString>("error");
        const QString none;
        const QString streamError = "Stream write error";
        QTest::newRow("write fails on the score file") << ScoreFile::Step::Write << 1 << none;
        QTest::newRow("sync fails on the score file") << ScoreFile::Step::Sync << 1 << none;
        QTest::newRow("rename fails on the score file") << ScoreFile::Step::Rename << 1 << none;
        QTest::newRow("write fails everywhere") << ScoreFile::Step::Write << 1000 << streamError;
        QTest::newRow("sync fails everywhere") << ScoreFile::Step::Sync << 1000 << streamError;
        QTest::newRow("rename fails everywhere") << ScoreFile::Step::Rename << 1000 << streamError;
    }
    void failingStepKeepsOldFiles()
    {
        QFETCH(ScoreFile::Step, step);
        QFETCH(int, times);
        QFETCH(QString, error);
        writeFile("base/data/score.inf", "old score\r\n");
        writeFile("score.inf", "old fallback\r\n");
        ScoreFile::failForTesting(step, times);
        const QString raised = saveError("new\r\n");
        ScoreFile::failForTesting(ScoreFile::Step::None);
        QCOMPARE(raised, error);
        QCOMPARE(readFile("base/data/score.inf"), QByteArray("old score\r\n"));
        QCOMPARE(readFile("score.inf"), error.isEmpty() ? QByteArray("new\r\n") : QByteArray("old fallback\r\n"));
        QCOMPARE(strayFiles("base/data", {"score.inf"}), QStringList());
        QCOMPARE(strayFiles(".", {"score.inf"}), QStringList());
    }

    // On a real full file system (a small tmpfs) a save never leaves a damaged score file: it is
    // replaced whole, or written in place when only inodes have run out and the new bytes fit, or
    // kept as it was while the text goes whole to the fallback or the error box says the write failed.
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
            const QString error = saveError(text);
            const auto classify = [&](const QString &path, const QByteArray &old) {
                if (!QFileInfo::exists(path))
                    return QString("none");
                const QByteArray bytes = readFile(path);
                return bytes == old ? QString("old") : bytes == text.toLatin1() ? QString("new") : QString("damaged");
            };
            QStringList stray = strayFiles("base/data", {"score.inf"});
            stray.removeIf([](const QString &name) { return name.startsWith("fill"); });
            return QString("error=%1;score=%2;fallback=%3;stray=%4")
                .arg(error, classify("base/data/score.inf", oldScore),
                     classify("score.inf", oldFallback), stray.join(","));
        });
        if (result.startsWith("SKIP: "))
            QSKIP(qPrintable(result.mid(6) + "; the injected failures cover it"));
        QCOMPARE(result, expected);
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_oldDir;
};

QTEST_GUILESS_MAIN(TestScoreFile)
#include "test_ScoreFile.moc"
