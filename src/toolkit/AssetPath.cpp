#include "toolkit/AssetPath.h"

#include <QDir>
#include <QFileInfo>

namespace AssetPath {

namespace {

QString &installedFolder()
{
    static QString folder;
    return folder;
}

// `parts` matched below `dir` component by component, each without regard to letter case when its
// exact spelling is missing; empty when a component is missing.
QString resolveIn(QDir dir, const QStringList &parts)
{
    QString path;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString &part = parts[i];
        QString match;
        if (QFileInfo::exists(dir.filePath(part))) {
            match = part;
        } else {
            const QStringList entries =
                dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
            for (const QString &entry : entries) {
                if (entry.compare(part, Qt::CaseInsensitive) == 0) {
                    match = entry;
                    break;
                }
            }
        }
        if (match.isEmpty())
            return {};
        path = dir.filePath(match);
        if (i + 1 < parts.size() && !dir.cd(match))
            return {};
    }
    return path;
}

// Whether the installed data may answer for `parts`: the game's data under base/, not the scores.
bool installedMayAnswer(const QStringList &parts)
{
    const auto is = [&parts](qsizetype i, QLatin1StringView name) {
        return parts[i].compare(name, Qt::CaseInsensitive) == 0;
    };
    return parts.size() >= 2 && is(0, QLatin1StringView("base"))
        && !is(1, QLatin1StringView("data"));
}

} // namespace

QString resolve(const QString &gamePath)
{
    const QStringList parts =
        QString(gamePath).replace(u'\\', u'/').split(u'/', Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return {};
    QString own = resolveIn(QDir::current(), parts);
    if (!own.isEmpty() || installedFolder().isEmpty() || !installedMayAnswer(parts))
        return own;
    return resolveIn(QDir(installedFolder()), parts);
}

bool exists(const QString &gamePath)
{
    const QString path = resolve(gamePath);
    return !path.isEmpty() && QFileInfo(path).isFile();
}

void setInstalledData(const QString &folder)
{
    installedFolder() = folder;
}

} // namespace AssetPath
