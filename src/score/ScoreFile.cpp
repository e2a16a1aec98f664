#include "score/ScoreFile.h"

#include "score/ScoreText.h"
#include "toolkit/AssetPath.h"
#include "toolkit/Cp1251.h"
#include "toolkit/GameError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace ScoreFile {

namespace {

// The directory of the score file, for creating the file when it is not there yet.
const QString kDataDir = QStringLiteral("base\\data");
// The file name of a new score file in that directory.
const QString kFileName = QStringLiteral("score.inf");

enum class Outcome { Written, NotCreated, NotWritten };

// The file a save of the score file replaces: the existing one, whatever the letter case of its
// path, or a new one in an existing data directory. Empty when there is no data directory.
QString primaryTarget()
{
    const QString existing = AssetPath::resolve(QString::fromUtf16(kPath));
    if (!existing.isEmpty())
        return existing;
    const QString dir = AssetPath::resolve(kDataDir);
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        return {};
    return QDir(dir).filePath(kFileName);
}

QString fallbackTarget()
{
    const QString existing = AssetPath::resolve(QString::fromUtf16(kFallbackPath));
    return existing.isEmpty() ? QString::fromUtf16(kFallbackPath) : existing;
}

// Replaces `path` with `bytes` through a temporary file in the same directory: `path` changes only
// when every byte is on disk. No direct-write fallback, which would give up that promise.
Outcome writeAtomically(const QString &path, const QByteArray &bytes)
{
    if (path.isEmpty())
        return Outcome::NotCreated;
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly))
        return Outcome::NotCreated;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return Outcome::NotWritten;
    }
    return file.commit() ? Outcome::Written : Outcome::NotWritten;
}

} // namespace

QString load()
{
    const QString path = AssetPath::resolve(QString::fromUtf16(kPath));
    if (path.isEmpty())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {};
    return ScoreText::normaliseLineBreaks(Cp1251::decode(ScoreText::untilZero(bytes)));
}

void save(const QString &text)
{
    const QByteArray bytes = Cp1251::encode(text);
    if (writeAtomically(primaryTarget(), bytes) == Outcome::Written)
        return;
    switch (writeAtomically(fallbackTarget(), bytes)) {
    case Outcome::Written:
        return;
    case Outcome::NotCreated:
        throw GameError(QStringLiteral("Cannot create file ") + QString::fromUtf16(kFallbackPath));
    case Outcome::NotWritten:
        throw GameError(QStringLiteral("Stream write error"));
    }
}

} // namespace ScoreFile
