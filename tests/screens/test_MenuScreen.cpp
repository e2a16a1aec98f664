#include "ScreenFixture.h"

#include "clip/TAnimate.h"
#include "game/GameScreen.h"
#include "menu/MenuScreen.h"
#include "music/TMediaPlayer.h"
#include "score/ScoreScreen.h"
#include "toolkit/Scaling.h"
#include "toolkit/TBevel.h"
#include "toolkit/TEdit.h"
#include "toolkit/TFlatButton.h"
#include "toolkit/TImage.h"
#include "toolkit/TLabel.h"
#include "toolkit/TPanel.h"
#include "toolkit/Timer.h"
#include "widgets/TGauge.h"

#include <QElapsedTimer>
#include <QSet>

namespace {
const QColor kSkyBlue(166, 202, 240);
const QColor kWhite(Qt::white);

// Runs loading ticks until the game screen appears; returns how many it took.
int ticksUntilExam()
{
    int ticks = 0;
    while (!gamef->isVisible() && ticks < 1000) {
        menuf->tx->fire();
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
        menuf->name->setText(text);
        menuf->NewGameClick();
        QCOMPARE(menuf->xl->caption(), QString::fromUtf8("Введите Ваше имя!"));
        QCOMPARE(menuf->name->text(), QString());
        QVERIFY(!menuf->tx->enabled());
        QVERIFY(menuf->gx->isHidden());
        QVERIFY(menuf->deamon->enabled());
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
        menuf->name->setText(text);
        menuf->deamon->tag = 3;
        menuf->NewGameClick();
        QVERIFY(menuf->tx->enabled());
        QVERIFY(!menuf->gx->isHidden());
        QVERIFY(!menuf->deamon->enabled());
        QCOMPARE(menuf->deamon->tag, 0);
        QCOMPARE(menuf->mp1->tag, 1);
    }

    // A refused name while the menu is hidden cannot take the focus: the error box says so, and the
    // caption and the emptied field stay.
    void refusedWhileHidden()
    {
        menuf->hide();
        menuf->name->setText(QString());
        QTest::keyClick(menuf->name, Qt::Key_Return);
        QCOMPARE(ErrorBox::openTexts(), QStringList{"Cannot focus a disabled or invisible window."});
        QCOMPARE(menuf->xl->caption(), QString::fromUtf8("Введите Ваше имя!"));
    }

    // The first loading takes 101 ticks from 0, later ones 100 from 1; at the hand-over the gauges
    // read 0, 100, 0, the clock runs, the menu and the score screen are hidden. Everything else that
    // the last exam left carries over: tool, flags, counters, examiner, clock speed, bar colour.
    void loadingAndHandOver()
    {
        menuf->name->setText(QString::fromUtf8("Вася"));
        gamef->process->setProgress(40);
        gamef->time->setProgress(3);
        gamef->zopa->setProgress(77);
        gamef->free->tag = 3;
        gamef->q1->tag = 1;
        gamef->zok->tag = 4;
        gamef->PemX->tag = 3;
        gamef->Pem_LR->tag = 1;
        gamef->pema->move(200, 62);
        gamef->xxx->setEnabled(true);
        gamef->kvik1Click();
        gamef->time->setForeColor(QColor(255, 0, 0));
        scoref->showScreen();
        menuf->NewGameClick();
        menuf->NewGameClick(); // a second click during the loading starts nothing new
        QCOMPARE(ticksUntilExam(), 101);
        QVERIFY(!menuf->tx->enabled());
        QVERIFY(menuf->gx->isHidden());
        QCOMPARE(menuf->gx->progress(), 1);
        QVERIFY(gamef->timet->enabled());
        QVERIFY(!menuf->isVisible());
        QVERIFY(!scoref->isVisible());
        QCOMPARE(gamef->process->progress(), 0);
        QCOMPARE(gamef->time->progress(), 100);
        QCOMPARE(gamef->zopa->progress(), 0);
        QCOMPARE(gamef->free->tag, 3);
        QCOMPARE(gamef->q1->tag, 1);
        QCOMPARE(gamef->zok->tag, 4);
        QCOMPARE(gamef->PemX->tag, 3);
        QCOMPARE(gamef->Pem_LR->tag, 1);
        QCOMPARE(gamef->pema->pos(), QPoint(200, 62));
        QVERIFY(gamef->xxx->enabled());
        QCOMPARE(gamef->timet->interval(), 100);
        QCOMPARE(gamef->time->foreColor(), QColor(255, 0, 0));

        gamef->hide();
        menuf->showScreen();
        menuf->NewGameClick();
        QCOMPARE(menuf->gx->progress(), 1);
        QCOMPARE(ticksUntilExam(), 100);
    }

    // The hover table: each entry lights itself and whitens the others; the name field lights only
    // the label; the bare screen whitens all and restores the title.
    void hoverColours()
    {
        QCOMPARE(menuf->xl->fontColor(), QColor(192, 192, 192));
        menuf->ObMouseMove();
        QCOMPARE(menuf->deamon->tag, 3);
        QCOMPARE(menuf->Ob->fontColor(), kSkyBlue);
        menuf->nameMouseMove();
        QCOMPARE(menuf->deamon->tag, 5);
        QCOMPARE(menuf->xl->fontColor(), kSkyBlue);
        QCOMPARE(menuf->Ob->fontColor(), kSkyBlue); // the name field changes no entry's colour
        menuf->ExitMouseMove();
        QCOMPARE(menuf->Exit->fontColor(), kSkyBlue);
        QCOMPARE(menuf->Ob->fontColor(), kWhite);
        QCOMPARE(menuf->xl->fontColor(), kSkyBlue);
        menuf->nextMouseMove();
        QCOMPARE(menuf->next->caption(), QString::fromUtf8("Скоро! PEMy и Квенталь!"));
        QCOMPARE(menuf->deamon->tag, 4);
        menuf->FormMouseMove();
        QCOMPARE(menuf->deamon->tag, 0);
        for (auto *w : {menuf->NewGame, menuf->score, menuf->Ob, menuf->Exit})
            QCOMPARE(w->fontColor(), kWhite);
        QCOMPARE(menuf->xl->fontColor(), kWhite);
        QCOMPARE(menuf->next->caption(), QString::fromUtf8("PEMy и Зольмар!"));
    }

    // Real pointer moves reach the handlers: over an entry, the name field, the bare screen.
    void pointerMovesReachHandlers()
    {
        QTest::mouseMove(menuf->score, QPoint(10, 10));
        QCOMPARE(menuf->deamon->tag, 2);
        QTest::mouseMove(menuf->name, QPoint(10, 10));
        QCOMPARE(menuf->deamon->tag, 5);
        QTest::mouseMove(menuf, QPoint(600, 250));
        QCOMPARE(menuf->deamon->tag, 0);
        // Over the frame around the name label nothing happens.
        menuf->NewGameMouseMove();
        QTest::mouseMove(menuf->Bevel2, QPoint(2, 2));
        QCOMPARE(menuf->deamon->tag, 1);
    }

    // The hovered entry pulses 22, 20, ..., 14, 14, 16, ..., 26, 26, 24; a left entry keeps its size.
    void pulse()
    {
        menuf->NewGameMouseMove();
        QList<int> sizes;
        for (int i = 0; i < 14; ++i) {
            menuf->deamonTimer();
            sizes << Scaling::pointsOf(menuf->NewGame->font());
        }
        QCOMPARE(sizes, (QList<int>{22, 20, 18, 16, 14, 14, 16, 18, 20, 22, 24, 26, 26, 24}));
        menuf->deamonTimer();
        menuf->deamonTimer();
        menuf->scoreMouseMove();
        menuf->deamonTimer();
        QCOMPARE(Scaling::pointsOf(menuf->NewGame->font()), 20);
        QCOMPARE(Scaling::pointsOf(menuf->score->font()), 22);
        QCOMPARE(menuf->NewGame->font().pixelSize(), 33);
        // The name field's pulse is carried by its label.
        menuf->nameMouseMove();
        menuf->deamonTimer();
        QCOMPARE(Scaling::pointsOf(menuf->xl->font()), 22);
    }

    // The name field selects its whole text when the menu is shown, so typing right away replaces
    // the prompt, at start and when the menu comes back after an exam; a mouse click places the caret
    // instead, and coming back to a menu that stayed shown keeps what is being typed.
    void nameFieldSelectsOnShow()
    {
        QVERIFY(showActive(menuf));
        type(menuf->name, QString::fromUtf8("Петя"));
        QCOMPARE(menuf->name->text(), QString::fromUtf8("Петя"));

        // Another window in front and back: no new selection, the caret stays at the end.
        type(menuf->name, QString::fromUtf8(" П"));
        QVERIFY(showActive(scoref));
        menuf->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(menuf));
        type(menuf->name, QString::fromUtf8("."));
        QCOMPARE(menuf->name->text(), QString::fromUtf8("Петя П."));

        // A click places the caret where it lands: nothing is selected, typing inserts.
        menuf->name->selectAll();
        QTest::mouseClick(menuf->name, Qt::LeftButton, {}, QPoint(1, menuf->name->height() / 2));
        QVERIFY(!menuf->name->hasSelectedText());
        type(menuf->name, QString::fromUtf8("И"));
        QCOMPARE(menuf->name->text(), QString::fromUtf8("ИПетя П."));

        // The menu shown again after an exam: the old name goes with the first key.
        menuf->hide();
        QVERIFY(showActive(gamef));
        gamef->hide();
        QVERIFY(showActive(scoref));
        scoref->backClick();
        QVERIFY(QTest::qWaitForWindowActive(menuf));
        type(menuf->name, QString::fromUtf8("Вася"));
        QCOMPARE(menuf->name->text(), QString::fromUtf8("Вася"));
    }

    // The hover timer stays on as the handlers see it, but wakes the program only while the menu is
    // shown and an item is hovered.
    void hoverTimerSleepsWhenNothingCanChange()
    {
        QVERIFY(menuf->isVisible());
        QVERIFY(menuf->deamon->enabled());
        QCOMPARE(menuf->deamon->remainingTime(), -1);
        menuf->NewGameMouseMove();
        QVERIFY(menuf->deamon->remainingTime() >= 0);
        menuf->FormMouseMove();
        QCOMPARE(menuf->deamon->remainingTime(), -1);
        menuf->nameMouseMove();
        QVERIFY(menuf->deamon->remainingTime() >= 0);
        menuf->ObClick();
        QVERIFY(menuf->deamon->enabled());
        QCOMPARE(menuf->deamon->remainingTime(), -1);
        menuf->showScreen();
        QVERIFY(menuf->deamon->remainingTime() >= 0);
        // Minimised, the menu shows nothing either, until it is restored.
        menuf->showMinimized();
        QCOMPARE(menuf->deamon->remainingTime(), -1);
        menuf->showNormal();
        QVERIFY(menuf->deamon->remainingTime() >= 0);

        // The real timer pulses the hovered entry.
        menuf->ExitMouseMove();
        QTRY_VERIFY_WITH_TIMEOUT(Scaling::pointsOf(menuf->Exit->font()) <= 20, 5000);
        // During the loading nothing pulses; after the score screen's "Назад" a hovered entry pulses again.
        menuf->name->setText(QStringLiteral("x"));
        menuf->NewGameClick();
        QVERIFY(!menuf->deamon->enabled());
        menuf->ExitMouseMove();
        QCOMPARE(menuf->deamon->remainingTime(), -1);
        menuf->tx->setEnabled(false);
        scoref->backClick();
        QVERIFY(menuf->deamon->enabled());
        QVERIFY(menuf->deamon->remainingTime() >= 0);
    }

    // An entry hovered when the menu went away comes back at the size and direction that an unslept
    // run of the ticks of the time away (one every 35 ms) leaves, and pulses on from there as that
    // run does. One left while the menu is away (Enter on another screen starts an exam) is caught
    // up as it is left.
    void pulseCatchesUpAfterTheMenuWasAway()
    {
        using Phase = QPair<int, int>; // font pixels, direction
        const auto phaseOf = [](QWidget *entry) { return Phase(entry->font().pixelSize(), static_cast<TFlatButton *>(entry)->tag); };
        const QFont start = menuf->Ob->font();
        // The phases after `ticks` and `ticks` + 1 unslept ticks from the layout's size, hovered.
        const auto unslept = [&](qint64 ticks) {
            menuf->Ob->setFont(start);
            menuf->Ob->tag = 0;
            menuf->ObMouseMove();
            for (qint64 i = 0; i < ticks; ++i)
                menuf->deamonTimer();
            const Phase after = phaseOf(menuf->Ob);
            menuf->deamonTimer();
            return qMakePair(after, phaseOf(menuf->Ob));
        };
        for (const bool shownAgain : {true, false}) {
            menuf->showScreen();
            menuf->Ob->setFont(start);
            menuf->Ob->tag = 0;
            menuf->ObMouseMove();
            QElapsedTimer clock;
            clock.start();
            menuf->ObClick();
            const qint64 asleep = clock.elapsed();
            // Three ticks or so away, mid-cycle: an entry not caught up stands at a phase of its own
            // (the pulse comes back to its start every 8 ticks).
            QTest::qWait(105);
            const qint64 waking = clock.elapsed();
            if (shownAgain) {
                menuf->showScreen();
            } else {
                menuf->name->setText(QStringLiteral("x"));
                menuf->NewGameClick();
                QVERIFY(menuf->isHidden());
            }
            const qint64 awake = clock.elapsed();
            const Phase caughtUp = phaseOf(menuf->Ob);
            menuf->deamonTimer(); // the hover is over once left, so the entry stays as it is then
            const auto slept = qMakePair(caughtUp, phaseOf(menuf->Ob));
            QSet<QPair<Phase, Phase>> possible;
            for (qint64 ticks = (waking - asleep) / 35; ticks <= awake / 35 + 1; ++ticks) {
                auto run = unslept(ticks);
                if (!shownAgain)
                    run.second = run.first;
                possible.insert(run);
            }
            QVERIFY2(possible.contains(slept), qPrintable(QStringLiteral("%1 px, direction %2")
                                                              .arg(caughtUp.first).arg(caughtUp.second)));
            menuf->tx->setEnabled(false);
            menuf->deamon->setEnabled(true);
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
        menuf->ns->tag = sound;
        menuf->name->setText(player);
        menuf->NewGameClick();
        for (int i = 0; i < 80; ++i)
            menuf->tx->fire();
        QVERIFY(ErrorBox::openTexts().isEmpty());
        menuf->tx->fire();
        // The file exists, so the player tried to open it; its failure does not hold up the exam.
        QCOMPARE(menuf->mp1->fileName() == QString("base\\sound\\pms2.mp3"), asked);
        QCOMPARE(ErrorBox::openTexts().size(), asked ? 1 : 0);
        QCOMPARE(menuf->gx->progress(), 81);
        ErrorBox::closeAll();
        QCOMPARE(ticksUntilExam(), 20);
        QVERIFY(gamef->timet->enabled());
    }

private:
    std::unique_ptr<ScreenFixture> m_screens;
};

QTEST_MAIN(TestMenuScreen)
#include "test_MenuScreen.moc"
