#include "toolkit/AssetPath.h"

#include <QDir>
#include <QFileInfo>

namespace AssetPath {

QString resolve(const QString &gamePath)
{
    const QStringList parts =
        QString(gamePath).replace(u'\\', u'/').split(u'/', Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return {};

    QDir dir = QDir::current();
    QString path;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString &part = parts[i];
        QString match;
        if (QFileInfo::exists(dir.filePath(part))) {
            match = part;
        } else {
            // Only when the exact spelling is missing: look for one that differs in letter case.
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

bool exists(const QString &gamePath)
{
    const QString path = resolve(gamePath);
    return !path.isEmpty() && QFileInfo(path).isFile();
}

} // namespace AssetPath
