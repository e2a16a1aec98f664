#pragma once

#include "app/Shell.h"
#include "game/GameScreen.h"
#include "toolkit/ErrorBox.h"
#include "toolkit/Scaling.h"
#include "toolkit/Timer.h"
#include "widgets/Gauge.h"

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

// The four real screens and the music, created offscreen at design size (120 dpi) in a fresh
// working directory. Tests put the files the game should find into the directory before create()
// or startUp(), and reach the screens through menuScreen() and the others below.
class ScreenFixture {
public:
    // The shell that create() or startUp() made last; null before and after.
    static inline Shell *current = nullptr;

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
        destroy();
        Scaling::resetFactor();
        QDir::setCurrent(m_oldDir);
    }

    // Every screen at once.
    void create() { make(Shell::Start::AllAtOnce); }
    // As the program starts: the menu first, the rest after its first paint.
    void startUp() { make(Shell::Start::MenuFirst); }
    void destroy()
    {
        current = nullptr;
        m_shell.reset();
    }

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
    void make(Shell::Start start)
    {
        destroy();
        m_shell = std::make_unique<Shell>(start);
        current = m_shell.get();
    }

    std::unique_ptr<Shell> m_shell;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_oldDir;
};

inline MenuScreen *menuScreen()
{
    return ScreenFixture::current ? ScreenFixture::current->menu() : nullptr;
}
inline GameScreen *gameScreen()
{
    return ScreenFixture::current ? ScreenFixture::current->game() : nullptr;
}
inline ScoreScreen *scoreScreen()
{
    return ScreenFixture::current ? ScreenFixture::current->scores() : nullptr;
}
inline AboutScreen *aboutScreen()
{
    return ScreenFixture::current ? ScreenFixture::current->about() : nullptr;
}
inline Music &shellMusic()
{
    return ScreenFixture::current->music();
}

// Sends the game's examiner out until he is in `state` (Returning: called back from the patrol),
// through the clock's decision and the walk timer; the suspicion is left as it was.
inline bool walkExaminerTo(ExaminerWalk::State state)
{
    GameScreen *game = gameScreen();
    Exam &exam = game->exam();
    const int suspicion = exam.suspicion();
    const auto decideAt = [&exam](int level) {
        exam.setSuspicion(level);
        exam.decideWalk();
    };
    decideAt(65);
    const bool back = state == ExaminerWalk::State::Returning;
    const ExaminerWalk::State out = back ? ExaminerWalk::State::Patrolling : state;
    for (int i = 0; i < 100 && exam.walk().state != out; ++i)
        game->walkTimer->fire();
    if (back)
        decideAt(52);
    exam.setSuspicion(suspicion);
    return exam.walk().state == state;
}

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
            lines +=
                block.text().mid(line.textStart(), line.textLength()).remove(QChar::LineSeparator);
        }
    }
    return lines;
}
