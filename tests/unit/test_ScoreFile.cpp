#include "score/ScoreFile.h"
#include "toolkit/GameError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

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

QString saveError(const QString &text)
{
    try {
        ScoreFile::save(text);
    } catch (const GameError &error) {
        return error.text();
    }
    return {};
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

    // Nothing readable at the path gives the empty list, without an error.
    void loadFailuresAreSilent()
    {
        QCOMPARE(ScoreFile::load().text, QString());
        QDir().mkpath("base/data/score.inf");
        QCOMPARE(ScoreFile::load().text, QString());
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
            if (geteuid() == 0)
                QSKIP("permissions do not stop root; the directory case covers it");
            writeFile("base/data/score.inf", "old");
            QFile::setPermissions("base/data/score.inf", QFile::ReadOwner);
        }
        ScoreFile::save("new\r\n");
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

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_oldDir;
};

QTEST_GUILESS_MAIN(TestScoreFile)
#include "test_ScoreFile.moc"
