#include "app/CommandLine.h"
#include "app/PlayerFolder.h"
#include "app/Shell.h"
#include "toolkit/AssetPath.h"
#include "toolkit/ErrorBox.h"
#include "toolkit/Scaling.h"

#include <QApplication>

#include <fontconfig/fontconfig.h>

#include <cstdio>
#include <thread>

namespace {

// Set by the build: the version, the way from the installed executable's folder to the installed
// data's folder of base/, and the folder of Qt's plugins.
const char *const kVersion = PEMY_VERSION;
const char *const kToData = PEMY_TO_DATA;
const char *const kQtPluginDir = PEMY_QT_PLUGIN_DIR;

// Installed, the game runs in the player's folder and finds the installed data after it; from the
// source tree it runs where it is started. False, with one line said, when it cannot start.
bool prepareInstalled()
{
    const QString installed = CommandLine::installedData(QString::fromUtf8(kToData));
    if (installed.isEmpty())
        return true;
    QString error;
    const QString folder = PlayerFolder::location(&error);
    if (folder.isEmpty() || !PlayerFolder::enter(folder, installed, &error)
        || !CommandLine::choosePlatform(QString::fromUtf8(kQtPluginDir), &error)) {
        std::fprintf(stderr, "pemy: %s\n", qPrintable(error));
        return false;
    }
    AssetPath::setInstalledData(installed);
    return true;
}

} // namespace

// The program entry `pemy`: its two options, the player's folder, then the game.
int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const std::optional<int> answered =
            CommandLine::answer(arguments, QString::fromUtf8(kVersion)))
        return *answered;
    if (!prepareInstalled())
        return 1;
    // Qt's own Wayland title bar offers a maximise box on every window, and maximising a fixed-size
    // screen ends the program under a compositor that holds a maximised window to the desktop's
    // size (weston). So on native Wayland the screens have the compositor's frame or none.
    if (!qEnvironmentVariableIsSet("QT_WAYLAND_DISABLE_WINDOWDECORATION"))
        qputenv("QT_WAYLAND_DISABLE_WINDOWDECORATION", "1");
    // The toolkit sees only the program's name, so no argument can change its behaviour either.
    int toolkitArgc = 1;
    char *toolkitArgv[] = {argv[0], nullptr};
    Scaling::useDisplayDpi();
    // The menu's first text needs the system's font configuration, which the font library takes
    // some milliseconds to read (a few dozen files, and its caches of every installed font). It is
    // read on a thread of its own while the toolkit connects to the display, and is then the one
    // the toolkit uses; the menu waits for it before its first text.
    std::thread fontConfiguration([] { FcInit(); });
    QApplication app(toolkitArgc, toolkitArgv);
    // The title is also the class of every X11 window, which the desktop entry names as its
    // StartupWMClass; on Wayland the entry's own name is the windows' app_id. So the desktop ties
    // the windows to the entry's name and icon.
    QApplication::setApplicationName(QString::fromUtf16(ErrorBox::kTitle));
    QGuiApplication::setDesktopFileName(QStringLiteral("example.rodvk.pemy"));
    // Closing the game or the score window only hides it; the program ends with the menu.
    QApplication::setQuitOnLastWindowClosed(false);

    fontConfiguration.join();
    const Shell shell(Shell::Start::MenuFirst);
    return QApplication::exec();
}
