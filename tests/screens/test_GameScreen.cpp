// The game screen: creation with and without its assets, F5, the exam's figures, clock, copybook
// and end bound to the widgets and the score lines, and the examiner's walk on the real widgets.

#include "ScreenFixture.h"
#include "unit/AviWriter.h"

#include "clip/ClipPlayer.h"
#include "game/GameScreen.h"
#include "menu/MenuScreen.h"
#include "score/ScoreScreen.h"
#include "toolkit/FlatButton.h"
#include "toolkit/LineEdit.h"
#include "toolkit/MultiLineEdit.h"
#include "toolkit/PictureBox.h"
#include "toolkit/Timer.h"
#include "widgets/Gauge.h"

#include <QMenu>
#include <QRegularExpression>
#include <QSet>

namespace {

const QString kName = QStringLiteral("Студент");
const QString kSeparator = QStringLiteral("-----------------");
const QString kCaughtTail =
    QStringLiteral(" баллов. Но Вы пытальсь списать! и Ваша оценка и все предыдущие = 0!");
const QColor kLime(0, 255, 0);
const QColor kRed(255, 0, 0);

void writeClip(const ScreenFixture &screens, const QString &relative, QSize size)
{
    QDir().mkpath(QFileInfo(screens.path(relative)).path());
    QVERIFY(AviWriter::writeSplit(screens.path(relative), size, 10, 3, ClipCodec::Bgr24,
                                  QColor(210, 238, 154)));
}

void writeJpeg(const ScreenFixture &screens, const QColor &colour)
{
    QDir().mkpath(screens.path(QStringLiteral("base/image")));
    QImage picture(688, 368, QImage::Format_RGB32);
    picture.fill(colour);
    QVERIFY(picture.save(screens.path(QStringLiteral("base/image/fon.jpg")), "JPG"));
}

bool near(const QColor &a, const QColor &b)
{
    return qAbs(a.red() - b.red()) <= 8 && qAbs(a.green() - b.green()) <= 8
        && qAbs(a.blue() - b.blue()) <= 8;
}

QColor backgroundColour()
{
    return gameScreen()->background->picture().pixelColor(100, 100);
}

// The score list's lines; the list ends with a line break after its last line.
QStringList scoreLines()
{
    QString text = scoreScreen()->scoreList->text();
    if (text.endsWith(QStringLiteral("\r\n")))
        text.chop(2);
    return text.isEmpty() ? QStringList() : text.split(QStringLiteral("\r\n"));
}

// The menu's start of an exam, as far as the game screen sees it.
void startExam()
{
    menuScreen()->nameField->setText(kName);
    gameScreen()->startExam();
}

} // namespace

class TestGameScreen : public QObject {
    Q_OBJECT
private slots:
    void init() { m_screens = std::make_unique<ScreenFixture>(); }
    void cleanup() { m_screens.reset(); }

    // ---- Creation ----

    // Every asset present: the disk background, all three clips open and playing (asleep, without a
    // timer, while the screen is hidden; ticking once it shows), desk and copybook sized to their
    // clips, the examiner at desk + (25, −54), which is also home; no error.
    void creationWithEveryAsset()
    {
        writeJpeg(*m_screens, QColor(200, 30, 30));
        writeClip(*m_screens, QStringLiteral("base/video/pemik.avi"), QSize(80, 120));
        writeClip(*m_screens, QStringLiteral("base/video/table.avi"), QSize(160, 90));
        writeClip(*m_screens, QStringLiteral("base/video/copybook.avi"), QSize(100, 80));
        m_screens->create();

        QVERIFY(near(backgroundColour(), QColor(200, 30, 30)));
        for (ClipPlayer *clip :
             {gameScreen()->examinerClip, gameScreen()->deskClip, gameScreen()->copybookClip})
            QVERIFY(clip->isOpen() && clip->active() && !clip->isTicking());
        gameScreen()->show();
        for (ClipPlayer *clip :
             {gameScreen()->examinerClip, gameScreen()->deskClip, gameScreen()->copybookClip})
            QVERIFY(clip->isTicking());
        gameScreen()->hide();
        QCOMPARE(gameScreen()->examinerClip->size(), QSize(95, 131));
        QCOMPARE(gameScreen()->deskClip->geometry(), QRect(-16, 96, 160, 90));
        QCOMPARE(gameScreen()->copybookClip->size(), QSize(100, 80));
        QCOMPARE(gameScreen()->examinerClip->pos(), QPoint(9, 42));
        QCOMPARE(gameScreen()->exam().walk().home, QPoint(9, 42));
        QVERIFY(ErrorBox::openTexts().isEmpty());
    }

    // Each asset missing on its own is skipped in silence; the examiner is placed in every case.
    void creationWithOneMissing_data()
    {
        QTest::addColumn<QString>("missing");
        for (const char *file : {"base/image/fon.jpg", "base/video/pemik.avi",
                                 "base/video/table.avi", "base/video/copybook.avi"})
            QTest::newRow(file) << QString::fromLatin1(file);
    }
    void creationWithOneMissing()
    {
        QFETCH(QString, missing);
        writeJpeg(*m_screens, QColor(200, 30, 30));
        writeClip(*m_screens, QStringLiteral("base/video/pemik.avi"), QSize(80, 120));
        writeClip(*m_screens, QStringLiteral("base/video/table.avi"), QSize(160, 90));
        writeClip(*m_screens, QStringLiteral("base/video/copybook.avi"), QSize(100, 80));
        QVERIFY(QFile::remove(m_screens->path(missing)));
        m_screens->create();

        QVERIFY(ErrorBox::openTexts().isEmpty());
        QCOMPARE(near(backgroundColour(), QColor(200, 30, 30)),
                 !missing.endsWith(QLatin1String("fon.jpg")));
        QCOMPARE(gameScreen()->examinerClip->isOpen(),
                 !missing.endsWith(QLatin1String("pemik.avi")));
        QCOMPARE(gameScreen()->deskClip->isOpen(), !missing.endsWith(QLatin1String("table.avi")));
        QCOMPARE(gameScreen()->copybookClip->isOpen(),
                 !missing.endsWith(QLatin1String("copybook.avi")));
        QCOMPARE(gameScreen()->examinerClip->pos(), QPoint(9, 42));
        QCOMPARE(gameScreen()->exam().walk().home, QPoint(9, 42));
    }

    // No asset at all: the built-in background and sheet icons, the layout's sizes, the examiner
    // seated.
    void creationWithNothing()
    {
        m_screens->create();
        QCOMPARE(gameScreen()->background->picture().size(), QSize(688, 368));
        QCOMPARE(gameScreen()->sheetPicture(Sheet::Notes)->picture().size(), QSize(32, 32));
        QCOMPARE(gameScreen()->deskClip->geometry(), QRect(-16, 96, 176, 93));
        QCOMPARE(gameScreen()->copybookClip->geometry(), QRect(400, 256, 121, 89));
        QCOMPARE(gameScreen()->examinerClip->geometry(), QRect(9, 42, 95, 131));
        QVERIFY(ErrorBox::openTexts().isEmpty());
    }

    // A broken background raises the decoder's error; the old picture stays and the rest of
    // creation is skipped: no clip, the examiner where the layout put him, no home stored.
    void creationWithBrokenJpeg()
    {
        m_screens->write(QStringLiteral("base/image/fon.jpg"), "this is no picture");
        writeClip(*m_screens, QStringLiteral("base/video/pemik.avi"), QSize(80, 120));
        m_screens->create();

        const QStringList boxes = ErrorBox::openTexts();
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(
            QRegularExpression(QStringLiteral("^JPEG error #\\d+\\.$")).match(boxes[0]).hasMatch(),
            qPrintable(boxes[0]));
        QCOMPARE(gameScreen()->background->picture().size(), QSize(688, 368));
        QVERIFY(!gameScreen()->examinerClip->isOpen());
        QCOMPARE(gameScreen()->examinerClip->pos(), QPoint(10, 32));
        QCOMPARE(gameScreen()->exam().walk().home, QPoint(0, 0));
    }

    // A desk clip that cannot be opened: the examiner's clip already plays, the copybook is never
    // loaded, the examiner is not moved.
    void creationWithBrokenAvi()
    {
        writeClip(*m_screens, QStringLiteral("base/video/pemik.avi"), QSize(80, 120));
        m_screens->write(QStringLiteral("base/video/table.avi"), "RIFF broken");
        writeClip(*m_screens, QStringLiteral("base/video/copybook.avi"), QSize(100, 80));
        m_screens->create();

        QCOMPARE(ErrorBox::openTexts(), QStringList{QStringLiteral("Cannot open AVI.")});
        QVERIFY(gameScreen()->examinerClip->active());
        QVERIFY(!gameScreen()->deskClip->isOpen());
        QVERIFY(!gameScreen()->copybookClip->isOpen());
        QCOMPARE(gameScreen()->examinerClip->pos(), QPoint(10, 32));
        QCOMPARE(gameScreen()->exam().walk().home, QPoint(0, 0));
    }

    // At 96 dpi the whole screen scales: the seat is the desk + (25, −54) in the layout's pixels,
    // (9, 42), drawn at (7, 34).
    void creationAtOtherScale()
    {
        Scaling::setFactor(0.8);
        m_screens->create();
        QCOMPARE(gameScreen()->deskClip->pos(), QPoint(-13, 77));
        QCOMPARE(gameScreen()->examinerClip->pos(), QPoint(7, 34));
        QCOMPARE(gameScreen()->exam().walk().home, QPoint(9, 42));
    }

    // F5 reloads a changed background; without the file the current picture stays.
    void refreshKey()
    {
        writeJpeg(*m_screens, QColor(200, 30, 30));
        m_screens->create();
        gameScreen()->showScreen();
        QVERIFY(QTest::qWaitForWindowActive(gameScreen()));

        writeJpeg(*m_screens, QColor(30, 30, 200));
        QTest::keyClick(gameScreen(), Qt::Key_F5);
        QVERIFY(near(backgroundColour(), QColor(30, 30, 200)));

        QVERIFY(QFile::remove(m_screens->path(QStringLiteral("base/image/fon.jpg"))));
        QTest::keyClick(gameScreen(), Qt::Key_F5);
        QVERIFY(near(backgroundColour(), QColor(30, 30, 200)));
        QVERIFY(ErrorBox::openTexts().isEmpty());
    }

    // The clock and the walk timer are made stopped, at 500 and 100 ms.
    void timersAtCreation()
    {
        m_screens->create();
        QCOMPARE(gameScreen()->examClock->interval(), 500);
        QCOMPARE(gameScreen()->walkTimer->interval(), 100);
        QVERIFY(!gameScreen()->examClock->enabled() && !gameScreen()->walkTimer->enabled());
    }

    // ---- Exam clock ----

    // A whole exam with nothing in use, as the screen shows it: the gauge's colour, the beeps,
    // the end after 101 ticks with the separator and "<name> - 0 % списано! Или = 0 баллов".
    void wholeExam()
    {
        m_screens->create();
        int beeps = 0;
        gameScreen()->beep = [&beeps] { ++beeps; };
        startExam();

        int ticks = 0;
        for (; ticks < 200 && gameScreen()->examClock->enabled(); ++ticks) {
            gameScreen()->examClock->fire();
            if (ticks == 60)
                QCOMPARE(gameScreen()->timeGauge->foreColor(), QColor(255, 255, 0));
        }
        QCOMPARE(ticks, 101);
        QCOMPARE(gameScreen()->timeGauge->foreColor(), kRed);
        QCOMPARE(beeps, 5);
        QVERIFY(!gameScreen()->examClock->enabled());
        QVERIFY(gameScreen()->isHidden());
        QVERIFY(scoreScreen()->isVisible());
        QCOMPARE(gameScreen()->timeGauge->progress(), 0);
        QCOMPARE(
            scoreLines(),
            (QStringList{kSeparator, kName + QStringLiteral(" - 0 % списано! Или = 0 баллов")}));

        // The next exam keeps red until its second tick.
        startExam();
        gameScreen()->examClock->fire();
        QCOMPARE(gameScreen()->timeGauge->foreColor(), kRed);
        gameScreen()->examClock->fire();
        QCOMPARE(gameScreen()->timeGauge->foreColor(), kLime);
    }

    // The speed items set 10000 and 100 ms; they start no clock.
    void speedItems()
    {
        m_screens->create();
        GameScreen *g = gameScreen();
        QMenu *menu = g->clockMenu;
        const auto &dividers = g->clockMenuDividers;
        QCOMPARE(g->timeGauge->popupMenu(), menu);
        QCOMPARE(menu->actions(),
                 (QList<QAction *>{dividers[0], g->slowClockAction, g->fastClockAction, dividers[1],
                                   g->showHiddenAction, dividers[2]}));
        // Every divider is drawn, the first above the first item and the last below the last.
        for (QAction *divider : dividers)
            QVERIFY(divider->isSeparator() && menu->actionGeometry(divider).height() > 0);
        QVERIFY(menu->actionGeometry(dividers[0]).bottom()
                < menu->actionGeometry(g->slowClockAction).top());
        QVERIFY(menu->actionGeometry(dividers[2]).top()
                > menu->actionGeometry(g->showHiddenAction).bottom());
        QCOMPARE(gameScreen()->showHiddenAction->text(), QStringLiteral("Показать невидимое"));

        gameScreen()->slowClockAction->trigger();
        QCOMPARE(gameScreen()->examClock->interval(), 10000);
        gameScreen()->fastClockAction->trigger();
        QCOMPARE(gameScreen()->examClock->interval(), 100);
        QVERIFY(!gameScreen()->examClock->enabled());
    }

    // ---- Copying and suspicion ----

    // The copybook clip plays while the exam says so; without its file, starting it raises
    // nothing and copying goes on.
    void copybookFollowsFlags()
    {
        writeClip(*m_screens, QStringLiteral("base/video/copybook.avi"), QSize(100, 80));
        m_screens->create();
        gameScreen()->exam().hoverSheet(Sheet::Cribs);
        gameScreen()->exam().stepCopying();
        QVERIFY(gameScreen()->copybookClip->active());
        gameScreen()->exam().hoverAnswerSheet();
        gameScreen()->exam().stepCopying();
        QVERIFY(!gameScreen()->copybookClip->active());
    }
    void copybookMissing()
    {
        m_screens->create();
        startExam();
        gameScreen()->exam().hoverSheetLabel(Sheet::Bombs);
        gameScreen()->examClock->fire();
        QVERIFY(ErrorBox::openTexts().isEmpty());
        QCOMPARE(gameScreen()->copiedGauge->progress(), 4);
        QCOMPARE(gameScreen()->timeGauge->progress(), 99);
    }

    // ---- End of an exam ----

    // Caught: the clock stopped and the caught line in the list.
    void caughtAtTheEnd()
    {
        m_screens->create();
        startExam();
        gameScreen()->exam().setCopied(4);
        gameScreen()->exam().setSuspicion(100);
        gameScreen()->examClock->fire();
        QVERIFY(!gameScreen()->examClock->enabled());
        QCOMPARE(scoreLines(),
                 (QStringList{kSeparator,
                              kName + QStringLiteral(" - 4 % списано! Или = 0") + kCaughtTail}));
    }

    // ---- The examiner's walk on the screen ----

    // Suspicion 65 sends him out; 17 walk ticks later he turns down beside the desk; 52 calls
    // him back and the walk ends exactly at home with the timer off.
    void walkOnTheScreen()
    {
        m_screens->create();
        startExam();
        gameScreen()->exam().setSuspicion(65);
        gameScreen()->exam().decideWalk();
        QCOMPARE(gameScreen()->exam().walk().state, ExaminerWalk::State::Leaving);
        QVERIFY(gameScreen()->walkTimer->enabled());
        for (int i = 0; i < 17; ++i)
            gameScreen()->walkTimer->fire();
        QCOMPARE(gameScreen()->exam().walk().state, ExaminerWalk::State::SteppingDown);
        QCOMPARE(gameScreen()->examinerClip->pos(), QPoint(169, 52));

        // The end of an exam leaves the walk timer running: he walks on behind the score screen.
        gameScreen()->exam().setTimeLeft(0);
        gameScreen()->examClock->fire();
        QVERIFY(!gameScreen()->examClock->enabled());
        QVERIFY(gameScreen()->walkTimer->enabled());
        gameScreen()->walkTimer->fire();
        QCOMPARE(gameScreen()->examinerClip->pos(), QPoint(169, 62));

        startExam();
        gameScreen()->exam().setSuspicion(52);
        gameScreen()->exam().decideWalk();
        QCOMPARE(gameScreen()->exam().walk().state, ExaminerWalk::State::Returning);
        for (int i = 0; i < 200 && gameScreen()->walkTimer->enabled(); ++i)
            gameScreen()->walkTimer->fire();
        QVERIFY(!gameScreen()->walkTimer->enabled());
        QCOMPARE(gameScreen()->exam().walk().state, ExaminerWalk::State::AtDesk);
        QCOMPARE(gameScreen()->examinerClip->pos(), QPoint(9, 42));
    }

    // The bounds follow the desk's current place: a desk moved at run time moves the turn.
    void walkUsesCurrentDesk()
    {
        m_screens->create();
        gameScreen()->deskClip->move(-16 + 20, 96);
        gameScreen()->exam().setSuspicion(65);
        gameScreen()->exam().decideWalk();
        int ticks = 0;
        while (gameScreen()->exam().walk().state == ExaminerWalk::State::Leaving && ticks++ < 100)
            gameScreen()->walkTimer->fire();
        QCOMPARE(gameScreen()->examinerClip->x(), 189);
    }

    // At 96 dpi the walk's steps are the layout's pixels scaled, and a walk out to the patrol and
    // back ends exactly at the seat.
    void walkAtOtherScale()
    {
        Scaling::setFactor(0.8);
        m_screens->create();
        gameScreen()->exam().setSuspicion(62);
        gameScreen()->exam().decideWalk();
        for (int i = 0; i < 150; ++i)
            gameScreen()->walkTimer->fire();
        QCOMPARE(gameScreen()->exam().walk().state, ExaminerWalk::State::Patrolling);
        // On patrol he paces to and fro beside the desk, on one line; the patrol's right bound is
        // the design's, 351 (drawn at 281): he swings out to 354, drawn at 283.
        QSet<int> places, directions;
        const int line = gameScreen()->examinerClip->y();
        int rightmost = 0;
        for (int i = 0; i < 100; ++i) {
            gameScreen()->walkTimer->fire();
            places.insert(gameScreen()->examinerClip->x());
            directions.insert(int(gameScreen()->exam().walk().direction));
            rightmost = std::max(rightmost, gameScreen()->examinerClip->x());
        }
        QCOMPARE(gameScreen()->examinerClip->y(), line);
        QVERIFY(places.size() > 5);
        QCOMPARE(directions.size(), 2);
        QCOMPARE(rightmost, 283);
        gameScreen()->exam().setSuspicion(53);
        gameScreen()->exam().decideWalk();
        for (int i = 0; i < 500 && gameScreen()->walkTimer->enabled(); ++i)
            gameScreen()->walkTimer->fire();
        QCOMPARE(gameScreen()->examinerClip->pos(), QPoint(7, 34));
        QCOMPARE(gameScreen()->exam().walk().state, ExaminerWalk::State::AtDesk);
    }

private:
    std::unique_ptr<ScreenFixture> m_screens;
};

QTEST_MAIN(TestGameScreen)
#include "test_GameScreen.moc"
