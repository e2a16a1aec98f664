#include "toolkit/AssetPath.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestAssetPath : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        m_old = QDir::currentPath();
        QDir::setCurrent(m_dir->path());
        QDir().mkpath("base/image/Ico");
        QFile f("base/image/Ico/b1.ico");
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    void cleanup() { QDir::setCurrent(m_old); }

    // Backslashes and letter case of any component find the file on disk.
    void caseAndSeparators()
    {
        const QString expected = QDir(m_dir->path()).filePath("base/image/Ico/b1.ico");
        QCOMPARE(QFileInfo(AssetPath::resolve("Base\\image\\Ico\\b1.ico")).canonicalFilePath(),
                 QFileInfo(expected).canonicalFilePath());
        QVERIFY(AssetPath::exists("BASE\\IMAGE\\ico\\B1.ICO"));
        QVERIFY(AssetPath::exists("base\\image\\Ico\\b1.ico"));
    }

    // Missing files and directories are simply not there; a directory is not a file.
    void missing()
    {
        QVERIFY(!AssetPath::exists("base\\image\\Ico\\b2.ico"));
        QVERIFY(!AssetPath::exists("base\\video\\pemik.avi"));
        QVERIFY(AssetPath::resolve("nothing\\here").isEmpty());
        QVERIFY(!AssetPath::exists("base\\image"));
        QVERIFY(!AssetPath::exists(""));
    }

    // Installed, a file is looked up in the player's folder (the working directory) first and in
    // the installed data second: the player's own file wins, a missing one, a broken link or one
    // under a folder of the player's that lacks it comes from the installed data, in any case.
    void playerFirstThenInstalled()
    {
        QTemporaryDir installed;
        const QDir data(installed.path());
        for (const char *file : {"base/image/Ico/b1.ico", "base/image/Ico/b2.ico",
                                 "base/video/pemik.avi", "base/sound/pms.mp3"}) {
            QVERIFY(data.mkpath(QFileInfo(data.filePath(file)).path()));
            QFile f(data.filePath(file));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        QVERIFY(QDir().mkpath("base/sound"));
        QVERIFY(QFile::link(m_dir->filePath("nowhere.mp3"), "base/sound/pms.mp3"));
        AssetPath::setInstalledData(installed.path());
        const auto canonical = [](const QString &path) {
            return QFileInfo(path).canonicalFilePath();
        };
        const struct {
            const char *gamePath;
            QString expected;
        } rows[] = {
            {"base\\image\\Ico\\b1.ico", canonical("base/image/Ico/b1.ico")}, // the player's
            {"Base\\Image\\ICO\\B2.ico", canonical(data.filePath("base/image/Ico/b2.ico"))},
            {"base\\video\\pemik.avi", canonical(data.filePath("base/video/pemik.avi"))},
            {"base\\sound\\pms.mp3", canonical(data.filePath("base/sound/pms.mp3"))}, // broken
            {"base\\image\\Ico\\b3.ico", {}},
        };
        for (const auto &row : rows) {
            QCOMPARE(canonical(AssetPath::resolve(row.gamePath)), row.expected);
            QCOMPARE(AssetPath::exists(row.gamePath), !row.expected.isEmpty());
        }
        AssetPath::setInstalledData({});
        QVERIFY(!AssetPath::exists("base\\video\\pemik.avi"));
    }

    // The installed data never answer for the scores (base\data) nor for what lies beside base/
    // (the fallback score.inf), so nothing the game writes is ever found in the installed tree.
    void installedNeverAnswersForScores()
    {
        QTemporaryDir installed;
        const QDir data(installed.path());
        QVERIFY(data.mkpath("base/data"));
        for (const char *file : {"base/data/score.inf", "score.inf", "base/extra.txt"}) {
            QFile f(data.filePath(file));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        AssetPath::setInstalledData(installed.path());
        QVERIFY(AssetPath::resolve("base\\data\\score.inf").isEmpty());
        QVERIFY(AssetPath::resolve("BASE\\DATA").isEmpty());
        QVERIFY(AssetPath::resolve("score.inf").isEmpty());
        QVERIFY(AssetPath::exists("base\\extra.txt"));
        AssetPath::setInstalledData({});
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_old;
};

QTEST_GUILESS_MAIN(TestAssetPath)
#include "test_AssetPath.moc"
