#include "app/PlayerFolder.h"

#include <QDir>
#include <QFileInfo>

namespace PlayerFolder {

namespace {

// `path` as it lies on disk: its deepest existing folder with links resolved, the rest as written.
QString onDisk(const QString &path)
{
    QString existing = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    QString rest;
    while (!QFileInfo::exists(existing) && existing != QStringLiteral("/")) {
        const QFileInfo info(existing);
        rest = u'/' + info.fileName() + rest;
        existing = info.path();
    }
    return QFileInfo(existing).canonicalFilePath() + rest;
}

} // namespace

QString location(const QProcessEnvironment &environment, QString *error)
{
    QString dataHome = environment.value(QStringLiteral("XDG_DATA_HOME"));
    if (!dataHome.startsWith(u'/')) {
        const QString home = environment.value(QStringLiteral("HOME"));
        if (home.isEmpty()) {
            *error = QStringLiteral("neither XDG_DATA_HOME nor HOME is set");
            return {};
        }
        if (!home.startsWith(u'/')) {
            *error = QStringLiteral("HOME is not an absolute path: '%1'").arg(printable(home));
            return {};
        }
        dataHome = home + QStringLiteral("/.local/share");
    }
    return dataHome + QStringLiteral("/pemy");
}

bool enter(const QString &location, const QString &installedData, QString *error)
{
    const QString installed = QFileInfo(installedData).canonicalFilePath();
    const auto inside = [&installed, error](const QString &folder) {
        if (installed.isEmpty() || !(folder + u'/').startsWith(installed + u'/'))
            return false;
        *error =
            QStringLiteral("the folder %1 lies inside the installed game").arg(printable(folder));
        return true;
    };
    // Checked before anything is made; what is made lies below what exists, so the folder's place
    // on disk is known now.
    if (inside(onDisk(location)))
        return false;
    if (!QFileInfo(location).isDir() && !QDir().mkpath(location)) {
        *error = QStringLiteral("cannot make the folder %1").arg(printable(location));
        return false;
    }
    const QString folder = QFileInfo(location).canonicalFilePath();
    if (folder.isEmpty() || !QDir::setCurrent(folder)) {
        *error = QStringLiteral("cannot enter the folder %1").arg(printable(location));
        return false;
    }
    for (const char *dir : {"base", "base/data"}) {
        const QString path = folder + u'/' + QLatin1StringView(dir);
        if (QFileInfo(path).isSymLink()) {
            *error = QStringLiteral("%1 is a link; the game keeps its files in a real folder there")
                         .arg(printable(path));
            return false;
        }
        // Another start of the game may make the same folder at the same moment.
        if (!QFileInfo(path).isDir() && !QDir().mkdir(path) && !QFileInfo(path).isDir()) {
            *error = QStringLiteral("cannot make the folder %1").arg(printable(path));
            return false;
        }
    }
    return true;
}

QString printable(const QString &text)
{
    QString shown = text;
    for (QChar &c : shown)
        if (!c.isPrint())
            c = u'?';
    return shown;
}

} // namespace PlayerFolder
