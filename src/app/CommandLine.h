#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What the `pemy` command does before any window: its two options, the installed data, and the
// platform the toolkit is to use.
namespace CommandLine {

// Answers --help and --version (on standard output, exit status 0) and refuses any other argument
// (one line on standard error, exit status 2). Nothing when the game is to start.
std::optional<int> answer(const QStringList &arguments, const QString &version);

// The installed game's folder of base/, `toData` from the executable's folder; empty when it holds
// no base/ (the game runs from the source tree, in the working directory).
QString installedData(const QString &toData);

// The screens are separate windows, and a Wayland compositor places every window anew each time it
// is shown, so on a Wayland desktop the game runs through its X server (XWayland), where each
// screen opens where the game puts it; native Wayland is the fallback, which needs Qt's Wayland
// plugin (in QT_PLUGIN_PATH or `qtPluginDir`). A platform the player chose (QT_QPA_PLATFORM)
// stands. False, with `*error` set, on a Wayland desktop without either.
bool choosePlatform(const QString &qtPluginDir, QString *error);

} // namespace CommandLine
