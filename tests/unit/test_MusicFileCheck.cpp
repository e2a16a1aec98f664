#include "formats/MusicFileCheck.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

class TestMusicFileCheck : public QObject {
    Q_OBJECT
private slots:
    // A piece that is a link to a /proc file (its size says 0; pagemap never ends) is read no
    // further than the bound: refused at once, within bounded memory.
    void procLinkIsBounded_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("pagemap") << "/proc/self/pagemap";
        QTest::newRow("kallsyms") << "/proc/kallsyms";
    }
    void procLinkIsBounded()
    {
        QFETCH(QString, target);
        if (!QFileInfo::exists(target))
            QSKIP("no such file here");
        QTemporaryDir dir;
        const QString piece = dir.filePath("pms.mid");
        QVERIFY(QFile::link(target, piece));
        struct rusage before {};
        getrusage(RUSAGE_SELF, &before);
        QCOMPARE(MusicFileCheck::check(piece), MusicFileCheck::Result::Damaged);
        struct rusage after {};
        getrusage(RUSAGE_SELF, &after);
        QVERIFY((after.ru_maxrss - before.ru_maxrss) / 1024 < 100);
    }
};

QTEST_GUILESS_MAIN(TestMusicFileCheck)
#include "test_MusicFileCheck.moc"
