#include "app/CommandLine.h"

#include "app/PlayerFolder.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace CommandLine {

namespace {

const char *const kUsage =
    "Usage: pemy [--help | --version]\n"
    "\n"
    "Starts PEMy - ultra reality game!, an exam where you copy from crib sheets\n"
    "while the examiner is not looking.\n"
    "\n"
    "Your scores and any game file you put in place of an installed one are kept in\n"
    "$XDG_DATA_HOME/pemy (by default ~/.local/share/pemy).\n"
    "\n"
    "  --help     show this text and exit\n"
    "  --version  show the version and exit\n";

// Exit status of a command line the game does not take.
constexpr int kBadArguments = 2;

int refuse(const QString &message)
{
    std::fprintf(stderr, "pemy: %s (try 'pemy --help')\n", qPrintable(message));
    return kBadArguments;
}

} // namespace

std::optional<int> answer(const QStringList &arguments, const QString &version)
{
    if (arguments.size() <= 1)
        return std::nullopt;
    QCommandLineParser parser;
    const QCommandLineOption help(QStringLiteral("help"));
    const QCommandLineOption showVersion(QStringLiteral("version"));
    parser.addOption(help);
    parser.addOption(showVersion);
    // One option alone, spelt out: anything else is named by its first argument.
    if (parser.parse(arguments) && arguments.size() == 2
        && parser.positionalArguments().isEmpty()) {
        if (parser.isSet(help)) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (parser.isSet(showVersion)) {
            std::printf("PEMy %s\n", qPrintable(version));
            return 0;
        }
    }
    const QString &first = arguments[1];
    if (first == QStringLiteral("--help") || first == QStringLiteral("--version"))
        return refuse(QStringLiteral("too many arguments"));
    return refuse(QStringLiteral("unknown argument '%1'").arg(PlayerFolder::printable(first)));
}

QString installedData(const QString &toData)
{
    const QString executable = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (executable.isEmpty())
        return {};
    const QDir data(QFileInfo(executable).absolutePath() + u'/' + toData);
    if (!QFileInfo(data.filePath(QStringLiteral("base"))).isDir())
        return {};
    return data.canonicalPath();
}

bool choosePlatform(const QString &qtPluginDir, QString *error)
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "xcb;wayland");
        return true;
    }
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return true;
    QStringList dirs = qEnvironmentVariable("QT_PLUGIN_PATH").split(u':', Qt::SkipEmptyParts);
    dirs << qtPluginDir;
    for (const QString &dir : dirs) {
        if (!QDir(dir + QStringLiteral("/platforms"))
                 .entryList({QStringLiteral("libqwayland-*.so")}, QDir::Files)
                 .isEmpty()) {
            qputenv("QT_QPA_PLATFORM", "wayland");
            return true;
        }
    }
    *error = QStringLiteral("this Wayland desktop has no X server (XWayland) and Qt's Wayland "
                            "plugin is missing: install qt6-wayland");
    return false;
}

} // namespace CommandLine
