#include "app/PlayerFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestPlayerFolder : public QObject {
    Q_OBJECT
private slots:
    void init() { m_old = QDir::currentPath(); }
    void cleanup() { QDir::setCurrent(m_old); }

    // $XDG_DATA_HOME/pemy when it is absolute; otherwise ~/.local/share/pemy; no folder, and one
    // line, without a usable HOME.
    void location()
    {
        const struct {
            const char *xdg;
            const char *home;
            const char *expected;
            const char *error;
        } rows[] = {
            {"/x/data", "/h", "/x/data/pemy", ""},
            {"", "/h", "/h/.local/share/pemy", ""},
            {nullptr, "/h", "/h/.local/share/pemy", ""},
            {"relative", "/h", "/h/.local/share/pemy", ""},
            {":resource", "/h", "/h/.local/share/pemy", ""},
            {nullptr, nullptr, "", "neither XDG_DATA_HOME nor HOME is set"},
            {"relative", "relhome", "", "HOME is not an absolute path: 'relhome'"},
            {nullptr, "rel\nhome", "", "HOME is not an absolute path: 'rel?home'"},
        };
        const QByteArray xdg = qgetenv("XDG_DATA_HOME");
        const QByteArray home = qgetenv("HOME");
        const auto set = [](const char *name, const char *value) {
            value ? qputenv(name, value) : qunsetenv(name);
        };
        for (const auto &row : rows) {
            set("XDG_DATA_HOME", row.xdg);
            set("HOME", row.home);
            QString error;
            QCOMPARE(PlayerFolder::location(&error), QString(row.expected));
            QCOMPARE(error, QString(row.error));
        }
        set("XDG_DATA_HOME", xdg.isNull() ? nullptr : xdg.constData());
        set("HOME", home.isNull() ? nullptr : home.constData());
    }

    // The folder, base/ and base/data/ are made and entered; an existing folder keeps what it
    // holds. A base/ or base/data/ that is a link, or a folder inside the installed data however
    // spelt (a link into it followed by ".."), is refused before anything is made in it.
    void enter()
    {
        QTemporaryDir root;
        const QDir dir(root.path());
        QVERIFY(dir.mkpath("installed/base"));
        const QString installed = dir.filePath("installed");
        QString error;

        QVERIFY(PlayerFolder::enter(dir.filePath("fresh/pemy"), installed, &error));
        QCOMPARE(QDir::currentPath(), QFileInfo(dir.filePath("fresh/pemy")).canonicalFilePath());
        QVERIFY(QFileInfo("base/data").isDir() && !QFileInfo("base/data").isSymLink());
        QCOMPARE(QDir(".").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
                 QStringList{"base"});
        QCOMPARE(QDir("base").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
                 QStringList{"data"});
        QVERIFY(PlayerFolder::enter(dir.filePath("fresh/pemy"), installed, &error));
        QVERIFY(error.isEmpty());

        QVERIFY(dir.mkpath("linked/pemy"));
        QVERIFY(QFile::link(dir.filePath("installed/base"), dir.filePath("linked/pemy/base")));
        QVERIFY(dir.mkpath("linkdata/pemy/base"));
        QVERIFY(QFile::link(dir.filePath("elsewhere"), dir.filePath("linkdata/pemy/base/data")));
        QVERIFY(dir.mkpath("blocked/pemy"));
        QFile blocker(dir.filePath("blocked/pemy/base"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        QVERIFY(dir.mkpath("home"));
        QVERIFY(QFile::link(dir.filePath("installed/base"), dir.filePath("home/installed")));
        const struct {
            QString folder;
            const char *says;
        } refused[] = {
            {dir.filePath("linked/pemy"), "is a link; the game keeps its files in a real folder"},
            {dir.filePath("linkdata/pemy"), "is a link; the game keeps its files in a real folder"},
            {dir.filePath("installed/pemy"), "lies inside the installed game"},
            {installed, "lies inside the installed game"},
            {dir.filePath("home/installed/../pemy"), "lies inside the installed game"},
            {dir.filePath("blocked/pemy"), "cannot make the folder"},
        };
        for (const auto &row : refused) {
            error.clear();
            QVERIFY2(!PlayerFolder::enter(row.folder, installed, &error), qPrintable(row.folder));
            QVERIFY2(error.contains(row.says), qPrintable(error));
        }
        QVERIFY(!QFileInfo::exists(dir.filePath("installed/base/data")));
        QVERIFY(!QFileInfo::exists(dir.filePath("installed/pemy")));
        QVERIFY(!QFileInfo::exists(dir.filePath("elsewhere")));
    }

private:
    QString m_old;
};

QTEST_GUILESS_MAIN(TestPlayerFolder)
#include "test_PlayerFolder.moc"
