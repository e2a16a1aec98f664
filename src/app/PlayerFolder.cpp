#include "app/PlayerFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace PlayerFolder {

namespace {

// `path` as it lies on disk, followed from the root one name at a time as the system follows it:
// an existing name with its links resolved, so that a ".." after a link leaves the link's target;
// a name that does not exist yet, and a ".." after it, as written, since what is made there is a
// real folder.
QString onDisk(const QString &path)
{
    QString resolved = QStringLiteral("/");
    const QStringList names =
        QDir::current().absoluteFilePath(path).split(u'/', Qt::SkipEmptyParts);
    for (const QString &name : names) {
        const QString next = QDir(resolved).filePath(name);
        const QFileInfo info(next);
        resolved = info.exists() ? info.canonicalFilePath() : QDir::cleanPath(next);
    }
    return resolved;
}

} // namespace

QString location(QString *error)
{
    if (!qEnvironmentVariable("XDG_DATA_HOME").startsWith(u'/')) {
        // A data home that is not absolute is none, and Qt 6.4 would take it as it is.
        qunsetenv("XDG_DATA_HOME");
        // Without HOME, Qt would take the root folder.
        const QString home = qEnvironmentVariable("HOME");
        if (home.isEmpty()) {
            *error = QStringLiteral("neither XDG_DATA_HOME nor HOME is set");
            return {};
        }
        if (!home.startsWith(u'/')) {
            *error = QStringLiteral("HOME is not an absolute path: '%1'").arg(printable(home));
            return {};
        }
    }
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/pemy");
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
    // Checked before anything is made, and what is made is the place checked: the links on the
    // way are resolved first, so no spelling of the path reaches into the installed game.
    const QString place = onDisk(location);
    if (inside(place))
        return false;
    if (!QFileInfo(place).isDir() && !QDir().mkpath(place)) {
        *error = QStringLiteral("cannot make the folder %1").arg(printable(location));
        return false;
    }
    const QString folder = QFileInfo(place).canonicalFilePath();
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
