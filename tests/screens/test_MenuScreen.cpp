#include "ScreenFixture.h"

#include "clip/ClipPlayer.h"
#include "game/GameScreen.h"
#include "menu/MenuScreen.h"
#include "music/MusicPlayer.h"
#include "score/ScoreScreen.h"
#include "toolkit/Bevel.h"
#include "toolkit/FlatButton.h"
#include "toolkit/Label.h"
#include "toolkit/LineEdit.h"
#include "toolkit/Panel.h"
#include "toolkit/PictureBox.h"
#include "toolkit/Scaling.h"
#include "toolkit/Timer.h"
#include "widgets/Gauge.h"

#include <QElapsedTimer>
#include <QSet>

namespace {
using Hover = MenuScreen::Hover;
const QColor kSkyBlue(166, 202, 240);
const QColor kWhite(Qt::white);

// Runs loading ticks until the game screen appears; returns how many it took.
int ticksUntilExam()
{
    int ticks = 0;
    while (!gameScreen()->isVisible() && ticks < 1000) {
        menuScreen()->loadingTimer->fire();
        ++ticks;
    }
    return ticks;
}

// Types `text` into `field` key by key, as a keyboard of any layout would.
void type(QWidget *field, const QString &text)
{
    for (const QChar letter : text)
        QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(letter), Qt::NoModifier);
}

// Shows `screen` and waits until it holds the keyboard.
bool showActive(QWidget *screen)
{
    static_cast<Screen *>(screen)->showScreen();
    return QTest::qWaitForWindowActive(screen);
}
} // namespace

class TestMenuScreen : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_screens = std::make_unique<ScreenFixture>();
        m_screens->create();
    }
    void cleanup() { m_screens.reset(); }

    // The layout's prompt and the empty text are refused: the label asks, the field empties and
    // keeps the focus, nothing starts.
    void refusedNames_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("prompt") << QString::fromUtf8("Ваше имя");
        QTest::newRow("empty") << QString();
    }
    void refusedNames()
    {
        QFETCH(QString, text);
        menuScreen()->nameField->setText(text);
        menuScreen()->onNewGameClicked();
        QCOMPARE(menuScreen()->namePrompt->caption(), QString::fromUtf8("Введите Ваше имя!"));
        QCOMPARE(menuScreen()->nameField->text(), QString());
        QVERIFY(!menuScreen()->loadingTimer->enabled());
        QVERIFY(menuScreen()->loadingGauge->isHidden());
        QVERIFY(menuScreen()->hoverTimer->enabled());
        QVERIFY(ErrorBox::openTexts().isEmpty());
    }

    // Blanks only, or the prompt in other letter case, are names like any other.
    void acceptedNames_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("blanks") << QString("   ");
        QTest::newRow("small letters") << QString::fromUtf8("ваше имя");
    }
    void acceptedNames()
    {
        QFETCH(QString, text);
        menuScreen()->nameField->setText(text);
        menuScreen()->onAboutHovered();
        menuScreen()->onNewGameClicked();
        QVERIFY(menuScreen()->loadingTimer->enabled());
        QVERIFY(!menuScreen()->loadingGauge->isHidden());
        QVERIFY(!menuScreen()->hoverTimer->enabled());
        QCOMPARE(menuScreen()->hoveredItem(), Hover::None);
        QCOMPARE(shellMusic().loopingPiece(), MusicRules::Piece::Exam);
    }

    // A refused name while the menu is hidden cannot take the focus: the error box says so, and the
    // caption and the emptied field stay.
    void refusedWhileHidden()
    {
        menuScreen()->hide();
        menuScreen()->nameField->setText(QString());
        QTest::keyClick(menuScreen()->nameField, Qt::Key_Return);
        QCOMPARE(ErrorBox::openTexts(),
                 QStringList{"Cannot focus a disabled or invisible window."});
        QCOMPARE(menuScreen()->namePrompt->caption(), QString::fromUtf8("Введите Ваше имя!"));
    }

    // The first loading takes 101 ticks from 0, later ones 100 from 1; at the hand-over the gauges
    // read 0, 100, 0, the clock runs, the menu and the score screen are hidden. Everything else
    // that the last exam left carries over: tool, flags, counters, examiner, clock speed, bar
    // colour.
    void loadingAndHandOver()
    {
        menuScreen()->nameField->setText(QString::fromUtf8("Вася"));
        gameScreen()->exam().setCopied(40);
        gameScreen()->exam().setTimeLeft(3);
        gameScreen()->exam().setSuspicion(77);
        gameScreen()->exam().hoverSheet(Sheet::Notes);
        for (int i = 0; i < 4; ++i)
            gameScreen()->exam().cycleIcon(Sheet::Notes);
        gameScreen()->exam().hoverSheet(Sheet::Cribs);
        QVERIFY(walkExaminerTo(ExaminerWalk::State::Patrolling));
        gameScreen()->walkTimer->fire(); // turns right
        gameScreen()->examinerClip->move(200, 62);
        gameScreen()->onFastClockTriggered();
        gameScreen()->timeGauge->setForeColor(QColor(255, 0, 0));
        scoreScreen()->showScreen();
        menuScreen()->onNewGameClicked();
        menuScreen()->onNewGameClicked(); // a second click during the loading starts nothing new
        QCOMPARE(ticksUntilExam(), 101);
        QVERIFY(!menuScreen()->loadingTimer->enabled());
        QVERIFY(menuScreen()->loadingGauge->isHidden());
        QCOMPARE(menuScreen()->loadingGauge->progress(), 1);
        QVERIFY(gameScreen()->examClock->enabled());
        QVERIFY(!menuScreen()->isVisible());
        QVERIFY(!scoreScreen()->isVisible());
        QCOMPARE(gameScreen()->copiedGauge->progress(), 0);
        QCOMPARE(gameScreen()->timeGauge->progress(), 100);
        QCOMPARE(gameScreen()->suspicionGauge->progress(), 0);
        QCOMPARE(gameScreen()->exam().state().tool, Tool::Cribs);
        QVERIFY(gameScreen()->exam().state().sheetInUse(Sheet::Notes));
        QCOMPARE(gameScreen()->exam().state().icon(Sheet::Notes).counter(), 4);
        QCOMPARE(gameScreen()->exam().walk().state, ExaminerWalk::State::Patrolling);
        QCOMPARE(gameScreen()->exam().walk().direction, ExaminerWalk::Direction::MovingRight);
        QCOMPARE(gameScreen()->examinerClip->pos(), QPoint(200, 62));
        QVERIFY(gameScreen()->walkTimer->enabled());
        QCOMPARE(gameScreen()->examClock->interval(), 100);
        QCOMPARE(gameScreen()->timeGauge->foreColor(), QColor(255, 0, 0));

        gameScreen()->hide();
        menuScreen()->showScreen();
        menuScreen()->onNewGameClicked();
        QCOMPARE(menuScreen()->loadingGauge->progress(), 1);
        QCOMPARE(ticksUntilExam(), 100);
    }

    // The hover table: each entry lights itself and whitens the others; the name field lights only
    // the label; the bare screen whitens all and restores the title.
    void hoverColours()
    {
        QCOMPARE(menuScreen()->namePrompt->fontColor(), QColor(192, 192, 192));
        menuScreen()->onAboutHovered();
        QCOMPARE(menuScreen()->hoveredItem(), Hover::About);
        QCOMPARE(menuScreen()->aboutButton->fontColor(), kSkyBlue);
        menuScreen()->onNameHovered();
        QCOMPARE(menuScreen()->hoveredItem(), Hover::Name);
        QCOMPARE(menuScreen()->namePrompt->fontColor(), kSkyBlue);
        // The name field changes no entry's colour.
        QCOMPARE(menuScreen()->aboutButton->fontColor(), kSkyBlue);
        menuScreen()->onExitHovered();
        QCOMPARE(menuScreen()->exitButton->fontColor(), kSkyBlue);
        QCOMPARE(menuScreen()->aboutButton->fontColor(), kWhite);
        QCOMPARE(menuScreen()->namePrompt->fontColor(), kSkyBlue);
        menuScreen()->onHeadlineHovered();
        QCOMPARE(menuScreen()->headline->caption(), QString::fromUtf8("Скоро! PEMy и Квенталь!"));
        QCOMPARE(menuScreen()->hoveredItem(), Hover::Exit);
        menuScreen()->onBackgroundHovered();
        QCOMPARE(menuScreen()->hoveredItem(), Hover::None);
        MenuScreen *m = menuScreen();
        for (auto *w : {m->newGameButton, m->scoresButton, m->aboutButton, m->exitButton})
            QCOMPARE(w->fontColor(), kWhite);
        QCOMPARE(menuScreen()->namePrompt->fontColor(), kWhite);
        QCOMPARE(menuScreen()->headline->caption(), QString::fromUtf8("PEMy и Зольмар!"));
    }

    // Real pointer moves reach the handlers: over an entry, the name field, the bare screen.
    void pointerMovesReachHandlers()
    {
        QTest::mouseMove(menuScreen()->scoresButton, QPoint(10, 10));
        QCOMPARE(menuScreen()->hoveredItem(), Hover::Scores);
        QTest::mouseMove(menuScreen()->nameField, QPoint(10, 10));
        QCOMPARE(menuScreen()->hoveredItem(), Hover::Name);
        QTest::mouseMove(menuScreen(), QPoint(600, 250));
        QCOMPARE(menuScreen()->hoveredItem(), Hover::None);
        // Over the frame around the name label nothing happens.
        menuScreen()->onNewGameHovered();
        QTest::mouseMove(menuScreen()->namePromptFrame, QPoint(2, 2));
        QCOMPARE(menuScreen()->hoveredItem(), Hover::NewGame);
    }

    // The hovered entry pulses 22, 20, ..., 14, 14, 16, ..., 26, 26, 24; a left entry keeps its
    // size.
    void pulse()
    {
        menuScreen()->onNewGameHovered();
        QList<int> sizes;
        for (int i = 0; i < 14; ++i) {
            menuScreen()->onHoverTick();
            sizes << Scaling::pointsOf(menuScreen()->newGameButton->font());
        }
        QCOMPARE(sizes, (QList<int>{22, 20, 18, 16, 14, 14, 16, 18, 20, 22, 24, 26, 26, 24}));
        menuScreen()->onHoverTick();
        menuScreen()->onHoverTick();
        menuScreen()->onScoresHovered();
        menuScreen()->onHoverTick();
        QCOMPARE(Scaling::pointsOf(menuScreen()->newGameButton->font()), 20);
        QCOMPARE(Scaling::pointsOf(menuScreen()->scoresButton->font()), 22);
        QCOMPARE(menuScreen()->newGameButton->font().pixelSize(), 33);
        // The name field's pulse is carried by its label.
        menuScreen()->onNameHovered();
        menuScreen()->onHoverTick();
        QCOMPARE(Scaling::pointsOf(menuScreen()->namePrompt->font()), 22);
    }

    // The name field selects its whole text when the menu is shown, so typing right away replaces
    // the prompt, at start and when the menu comes back after an exam; a mouse click places the
    // caret instead, and coming back to a menu that stayed shown keeps what is being typed.
    void nameFieldSelectsOnShow()
    {
        QVERIFY(showActive(menuScreen()));
        type(menuScreen()->nameField, QString::fromUtf8("Петя"));
        QCOMPARE(menuScreen()->nameField->text(), QString::fromUtf8("Петя"));

        // Another window in front and back: no new selection, the caret stays at the end.
        type(menuScreen()->nameField, QString::fromUtf8(" П"));
        QVERIFY(showActive(scoreScreen()));
        menuScreen()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(menuScreen()));
        type(menuScreen()->nameField, QString::fromUtf8("."));
        QCOMPARE(menuScreen()->nameField->text(), QString::fromUtf8("Петя П."));

        // A click places the caret where it lands: nothing is selected, typing inserts.
        menuScreen()->nameField->selectAll();
        const QPoint atLeft(1, menuScreen()->nameField->height() / 2);
        QTest::mouseClick(menuScreen()->nameField, Qt::LeftButton, {}, atLeft);
        QVERIFY(!menuScreen()->nameField->hasSelectedText());
        type(menuScreen()->nameField, QString::fromUtf8("И"));
        QCOMPARE(menuScreen()->nameField->text(), QString::fromUtf8("ИПетя П."));

        // The menu shown again after an exam: the old name goes with the first key.
        menuScreen()->hide();
        QVERIFY(showActive(gameScreen()));
        gameScreen()->hide();
        QVERIFY(showActive(scoreScreen()));
        scoreScreen()->onBackClicked();
        QVERIFY(QTest::qWaitForWindowActive(menuScreen()));
        type(menuScreen()->nameField, QString::fromUtf8("Вася"));
        QCOMPARE(menuScreen()->nameField->text(), QString::fromUtf8("Вася"));
    }

    // The hover timer stays on as the handlers see it, but wakes the program only while the menu is
    // shown and an item is hovered.
    void hoverTimerSleepsWhenNothingCanChange()
    {
        QVERIFY(menuScreen()->isVisible());
        QVERIFY(menuScreen()->hoverTimer->enabled());
        QCOMPARE(menuScreen()->hoverTimer->remainingTime(), -1);
        menuScreen()->onNewGameHovered();
        QVERIFY(menuScreen()->hoverTimer->remainingTime() >= 0);
        menuScreen()->onBackgroundHovered();
        QCOMPARE(menuScreen()->hoverTimer->remainingTime(), -1);
        menuScreen()->onNameHovered();
        QVERIFY(menuScreen()->hoverTimer->remainingTime() >= 0);
        menuScreen()->onAboutClicked();
        QVERIFY(menuScreen()->hoverTimer->enabled());
        QCOMPARE(menuScreen()->hoverTimer->remainingTime(), -1);
        menuScreen()->showScreen();
        QVERIFY(menuScreen()->hoverTimer->remainingTime() >= 0);
        // Minimised, the menu shows nothing either, until it is restored.
        menuScreen()->showMinimized();
        QCOMPARE(menuScreen()->hoverTimer->remainingTime(), -1);
        menuScreen()->showNormal();
        QVERIFY(menuScreen()->hoverTimer->remainingTime() >= 0);

        // The real timer pulses the hovered entry.
        menuScreen()->onExitHovered();
        QTRY_VERIFY_WITH_TIMEOUT(Scaling::pointsOf(menuScreen()->exitButton->font()) <= 20, 5000);
        // During the loading nothing pulses; after the score screen's "Назад" a hovered entry
        // pulses again.
        menuScreen()->nameField->setText(QStringLiteral("x"));
        menuScreen()->onNewGameClicked();
        QVERIFY(!menuScreen()->hoverTimer->enabled());
        menuScreen()->onExitHovered();
        QCOMPARE(menuScreen()->hoverTimer->remainingTime(), -1);
        menuScreen()->loadingTimer->setEnabled(false);
        scoreScreen()->onBackClicked();
        QVERIFY(menuScreen()->hoverTimer->enabled());
        QVERIFY(menuScreen()->hoverTimer->remainingTime() >= 0);
    }

    // An entry hovered when the menu went away comes back at the size and direction that an unslept
    // run of the ticks of the time away (one every 35 ms) leaves, and pulses on from there as that
    // run does. One left while the menu is away (Enter on another screen starts an exam) is caught
    // up as it is left.
    void pulseCatchesUpAfterTheMenuWasAway()
    {
        using Phase = QPair<int, int>; // font pixels, direction (0 shrinking, 1 growing)
        MenuScreen::Pulse *about = menuScreen()->pulseOf(Hover::About);
        const auto phaseOf = [about] {
            return Phase(about->widget->font().pixelSize(), static_cast<int>(about->direction));
        };
        const QFont start = menuScreen()->aboutButton->font();
        // The phases after `ticks` and `ticks` + 1 unslept ticks from the layout's size, hovered.
        const auto unslept = [&](qint64 ticks) {
            menuScreen()->aboutButton->setFont(start);
            about->direction = MenuPulse::Direction::Shrinking;
            menuScreen()->onAboutHovered();
            for (qint64 i = 0; i < ticks; ++i)
                menuScreen()->onHoverTick();
            const Phase after = phaseOf();
            menuScreen()->onHoverTick();
            return qMakePair(after, phaseOf());
        };
        for (const bool shownAgain : {true, false}) {
            menuScreen()->showScreen();
            menuScreen()->aboutButton->setFont(start);
            about->direction = MenuPulse::Direction::Shrinking;
            menuScreen()->onAboutHovered();
            QElapsedTimer clock;
            clock.start();
            menuScreen()->onAboutClicked();
            const qint64 asleep = clock.elapsed();
            // Three ticks or so away, mid-cycle: an entry not caught up stands at a phase of its
            // own (the pulse comes back to its start every 8 ticks).
            QTest::qWait(105);
            const qint64 waking = clock.elapsed();
            if (shownAgain) {
                menuScreen()->showScreen();
            } else {
                menuScreen()->nameField->setText(QStringLiteral("x"));
                menuScreen()->onNewGameClicked();
                QVERIFY(menuScreen()->isHidden());
            }
            const qint64 awake = clock.elapsed();
            const Phase caughtUp = phaseOf();
            // The hover is over once left, so the entry stays as it is then.
            menuScreen()->onHoverTick();
            const auto slept = qMakePair(caughtUp, phaseOf());
            QSet<QPair<Phase, Phase>> possible;
            for (qint64 ticks = (waking - asleep) / 35; ticks <= awake / 35 + 1; ++ticks) {
                auto run = unslept(ticks);
                if (!shownAgain)
                    run.second = run.first;
                possible.insert(run);
            }
            QVERIFY2(possible.contains(slept),
                     qPrintable(QStringLiteral("%1 px, direction %2")
                                    .arg(caughtUp.first)
                                    .arg(caughtUp.second)));
            menuScreen()->loadingTimer->setEnabled(false);
            menuScreen()->hoverTimer->setEnabled(true);
        }
    }

    // At 80 % the exam piece is asked for only with the sound on and a name that is not the lordly
    // one; the exam starts at 100 % in every case.
    void examPieceAtEighty_data()
    {
        QTest::addColumn<QString>("player");
        QTest::addColumn<int>("sound");
        QTest::addColumn<bool>("asked");
        QTest::newRow("sound on") << QString("x") << 1 << true;
        QTest::newRow("sound off") << QString("x") << 0 << false;
        QTest::newRow("lordly, sound on") << QString("wenKT") << 1 << false;
        QTest::newRow("lordly in other case") << QString("wenkt") << 1 << true;
    }
    void examPieceAtEighty()
    {
        QFETCH(QString, player);
        QFETCH(int, sound);
        QFETCH(bool, asked);
        m_screens->write("base/sound/pms2.mp3", "not really music");
        if (sound == 0)
            shellMusic().switchSound();
        menuScreen()->nameField->setText(player);
        menuScreen()->onNewGameClicked();
        for (int i = 0; i < 80; ++i)
            menuScreen()->loadingTimer->fire();
        QVERIFY(ErrorBox::openTexts().isEmpty());
        menuScreen()->loadingTimer->fire();
        // The file exists, so the player tried to open it; its failure does not hold up the exam.
        QCOMPARE(menuScreen()->musicPlayer->fileName() == QString("base\\sound\\pms2.mp3"), asked);
        QCOMPARE(ErrorBox::openTexts().size(), asked ? 1 : 0);
        QCOMPARE(menuScreen()->loadingGauge->progress(), 81);
        ErrorBox::closeAll();
        QCOMPARE(ticksUntilExam(), 20);
        QVERIFY(gameScreen()->examClock->enabled());
    }

private:
    std::unique_ptr<ScreenFixture> m_screens;
};

QTEST_MAIN(TestMenuScreen)
#include "test_MenuScreen.moc"
