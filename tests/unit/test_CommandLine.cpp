#include "app/CommandLine.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    // --help and --version alone start nothing (0); any other argument is refused (2); no argument
    // starts the game. The texts are checked on the installed command.
    void answers()
    {
        const struct {
            QStringList arguments;
            std::optional<int> expected;
        } rows[] = {
            {{"pemy"}, std::nullopt},
            {{"pemy", "--help"}, 0},
            {{"pemy", "--version"}, 0},
            {{"pemy", "--help", "extra"}, 2},
            {{"pemy", "--version", "--help"}, 2},
            {{"pemy", "-help"}, 2},
            {{"pemy", "--versio"}, 2},
            {{"pemy", "help"}, 2},
            {{"pemy", "--"}, 2},
        };
        for (const auto &row : rows)
            QCOMPARE(CommandLine::answer(row.arguments, "1.0"), row.expected);
    }

    // The player's QT_QPA_PLATFORM stands; with an X server the game asks for xcb, then Wayland;
    // on Wayland alone, for Wayland where Qt's plugin is (QT_PLUGIN_PATH or Qt's own folder), and
    // it refuses without the plugin.
    void platform()
    {
        QTemporaryDir plugins;
        QVERIFY(QDir(plugins.path()).mkpath("platforms"));
        QFile plugin(plugins.filePath("platforms/libqwayland-generic.so"));
        QVERIFY(plugin.open(QIODevice::WriteOnly));
        const QString none = plugins.filePath("none");
        const struct {
            const char *chosen;
            const char *display;
            const char *wayland;
            const char *pluginPath;
            bool qtHasPlugin;
            bool starts;
            const char *platform;
        } rows[] = {
            {"offscreen", ":1", "w", nullptr, true, true, "offscreen"},
            {nullptr, ":1", "w", nullptr, false, true, "xcb;wayland"},
            {nullptr, ":1", nullptr, nullptr, false, true, "xcb;wayland"},
            {nullptr, nullptr, "w", nullptr, true, true, "wayland"},
            {nullptr, nullptr, "w", "yes", false, true, "wayland"},
            {nullptr, nullptr, "w", nullptr, false, false, ""},
            {nullptr, nullptr, nullptr, nullptr, false, true, ""},
        };
        for (const auto &row : rows) {
            const auto set = [](const char *name, const char *value) {
                if (value)
                    qputenv(name, value);
                else
                    qunsetenv(name);
            };
            set("QT_QPA_PLATFORM", row.chosen);
            set("DISPLAY", row.display);
            set("WAYLAND_DISPLAY", row.wayland);
            set("QT_PLUGIN_PATH",
                row.pluginPath ? qPrintable(none + ':' + plugins.path()) : nullptr);
            QString error;
            QCOMPARE(CommandLine::choosePlatform(row.qtHasPlugin ? plugins.path() : none, &error),
                     row.starts);
            QCOMPARE(qgetenv("QT_QPA_PLATFORM"), QByteArray(row.platform));
            QCOMPARE(error.contains("install qt6-wayland"), !row.starts);
        }
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_CommandLine.moc"
