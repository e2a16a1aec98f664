#pragma once

#include "app/Screens.h"
#include "toolkit/ErrorBox.h"
#include "toolkit/Scaling.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <memory>

// The four real screens, created offscreen at design size (120 dpi) in a fresh working directory.
// Tests put the files the game should find into the directory before create().
class ScreenFixture {
public:
    ScreenFixture()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_oldDir = QDir::currentPath();
        QDir::setCurrent(m_dir->path());
        QDir().mkpath(QStringLiteral("base/data"));
        Scaling::setFactor(1.0);
    }

    ~ScreenFixture()
    {
        Screens::destroyAll();
        Scaling::resetFactor();
        QDir::setCurrent(m_oldDir);
    }

    void create() { Screens::createAll(); }

    QString path(const QString &relative) const { return QDir(m_dir->path()).filePath(relative); }

    // Writes `bytes` to `relative` (forward slashes) below the working directory.
    void write(const QString &relative, const QByteArray &bytes) const
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QFile file(path(relative));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QByteArray read(const QString &relative) const
    {
        QFile file(path(relative));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Copies the game's own file `relative` from the repository's base/ folder.
    void copyAsset(const QString &relative) const
    {
        QFile source(QStringLiteral(PEMY_SOURCE_DIR "/") + relative);
        QVERIFY2(source.open(QIODevice::ReadOnly), qPrintable(relative));
        write(relative, source.readAll());
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_oldDir;
};

// The lines that a text box shows, from the top, as the player reads them: every line on screen
// apart (a wrapped line gives several), line breaks left out; at most `most` of them.
inline QStringList shownLines(const QPlainTextEdit *box, int most = 1000)
{
    QStringList lines;
    QAbstractTextDocumentLayout *layout = box->document()->documentLayout();
    for (QTextBlock block = box->document()->begin(); block.isValid() && lines.size() < most;
         block = block.next()) {
        layout->blockBoundingRect(block); // lays the block out
        for (int i = 0; i < block.layout()->lineCount() && lines.size() < most; ++i) {
            const QTextLine line = block.layout()->lineAt(i);
            lines += block.text().mid(line.textStart(), line.textLength()).remove(QChar::LineSeparator);
        }
    }
    return lines;
}
