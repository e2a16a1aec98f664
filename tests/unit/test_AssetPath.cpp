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

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_old;
};

QTEST_GUILESS_MAIN(TestAssetPath)
#include "test_AssetPath.moc"
