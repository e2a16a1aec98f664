// The game screen under the pointer: tool selection through real pointer moves over the laid-out
// screen (overlaps and drags included), the exit hover colour, the inspection panels, and the
// crib-sheet icon cycles.

// Pointer events go through the window, as the platform delivers them: stacking and the implicit
// grab of a pressed button decide which control receives them.
#define QTEST_QPA_MOUSE_HANDLING
#include "ScreenFixture.h"
#include "unit/AviWriter.h"

#include "clip/ClipPlayer.h"
#include "game/GameScreen.h"
#include "toolkit/FlatButton.h"
#include "toolkit/Label.h"
#include "toolkit/Panel.h"
#include "toolkit/PictureBox.h"
#include "toolkit/Timer.h"
#include "widgets/Gauge.h"

#include <QPaintEvent>

#include <utility>

namespace {

const QColor kNavy(0, 0, 128);
const QColor kRed(255, 0, 0);
const QColor kSkyBlue(166, 202, 240);

const QString kStatusSuspicious =
    QStringLiteral("Сейчас Вы ни чего не используете, но как-то подозрительно выглядите!");
const QString kStatusNothing = QStringLiteral("Сейчас Вы ни чего не используете");
const QString kStatusNotes = QStringLiteral("Сейчас Вы используете - конспект");
const QString kStatusBombs = QStringLiteral("Сейчас Вы используете - бомбы");
const QString kStatusCribs = QStringLiteral("Сейчас Вы используете - шпоры");
const QString kStatusStart = QStringLiteral("Сейчас Вы используете - ");

// Colours of the five icon frames the tests write, b1..b5.
QColor frameColour(int frame)
{
    return QColor(40 * frame, 255 - 40 * frame, 100);
}

// Which frame an icon shows, 0 for the built-in one.
int shownFrame(const PictureBox *sheet)
{
    const QColor centre = sheet->picture().pixelColor(16, 16);
    for (int frame = 1; frame <= 5; ++frame)
        if (centre == frameColour(frame))
            return frame;
    return 0;
}

// The frame counter of `sheet`'s icon.
int counter(Sheet sheet)
{
    return gameScreen()->exam().state().icon(sheet).counter();
}

// The selection state in one line: status, notes, bombs and cribs in use, tool, notes counter.
QString selection()
{
    return QStringLiteral("%1|%2%3%4|%5|%6")
        .arg(gameScreen()->statusLine->caption())
        .arg(int(gameScreen()->exam().state().sheetInUse(Sheet::Notes)))
        .arg(int(gameScreen()->exam().state().sheetInUse(Sheet::Bombs)))
        .arg(int(gameScreen()->exam().state().sheetInUse(Sheet::Cribs)))
        .arg(int(gameScreen()->exam().state().tool))
        .arg(counter(Sheet::Notes));
}

// Label colours in the order BombaL, SporaL, KonspektL, shedevr: N navy, R red.
QString labelColours()
{
    QString colours;
    for (const Label *label :
         {gameScreen()->sheetLabel(Sheet::Bombs), gameScreen()->sheetLabel(Sheet::Cribs),
          gameScreen()->sheetLabel(Sheet::Notes), gameScreen()->answerSheetLabel})
        colours += label->fontColor() == kRed ? u'R' : label->fontColor() == kNavy ? u'N' : u'?';
    return colours;
}

void moveTo(int x, int y)
{
    QTest::mouseMove(gameScreen(), QPoint(x, y));
}

// What the game screen paints, in the screen's coordinates, while it is being recorded.
class PaintRecorder : public QObject {
public:
    PaintRecorder() { qApp->installEventFilter(this); }

    // Everything painted since the last call, once the pending repaints are done.
    QRegion take()
    {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        return std::exchange(m_painted, QRegion());
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (event->type() == QEvent::Paint && widget && widget->window() == gameScreen()) {
            const QRegion region = static_cast<QPaintEvent *>(event)->region();
            m_painted += region.translated(widget->mapTo(gameScreen(), QPoint(0, 0)));
        }
        return false;
    }

private:
    QRegion m_painted;
};

} // namespace

class TestGameScreenPointer : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_screens = std::make_unique<ScreenFixture>();
        QDir().mkpath(m_screens->path(QStringLiteral("base/image/Ico")));
        for (int frame = 1; frame <= 5; ++frame) {
            QImage icon(32, 32, QImage::Format_ARGB32);
            icon.fill(frameColour(frame));
            QVERIFY(icon.save(m_screens->path(QStringLiteral("base/image/Ico/b%1.ico").arg(frame)),
                              "ICO"));
        }
        m_screens->create();
        gameScreen()->showScreen();
        QVERIFY(QTest::qWaitForWindowExposed(gameScreen()));
        // Start away from every control that has a handler.
        moveTo(50, 60);
    }
    void cleanup() { m_screens.reset(); }

    // ---- Tool selection ----

    // One pointer move over each point of the laid-out screen, from the start state; overlaps
    // decide which control gets it.
    void pointerTable_data()
    {
        QTest::addColumn<QPoint>("point");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("colours");
        QTest::newRow("background") << QPoint(300, 100) << kStatusSuspicious + "|000|5|0"
                                    << "NNNN";
        QTest::newRow("paper") << QPoint(540, 300) << kStatusNothing + "|000|0|0"
                               << "NNNR";
        QTest::newRow("notes") << QPoint(250, 325) << kStatusNotes + "|100|1|0"
                               << "NNRN";
        QTest::newRow("bombs over its label") << QPoint(30, 251) << kStatusBombs + "|010|2|0"
                                              << "RNNN";
        QTest::newRow("cribs over its label") << QPoint(150, 275) << kStatusCribs + "|001|3|0"
                                              << "NRNN";
        QTest::newRow("label Бомбы") << QPoint(30, 240) << kStatusBombs + "|010|0|5"
                                     << "NNNN";
        QTest::newRow("label Шпоры") << QPoint(150, 262) << kStatusCribs + "|001|0|3"
                                     << "NNNN";
        QTest::newRow("label Конспект over the notes")
            << QPoint(250, 304) << kStatusCribs + "|001|0|3"
            << "NNNN";
        QTest::newRow("label шедевр over the paper")
            << QPoint(450, 240) << kStatusCribs + "|001|0|3"
            << "NNNN";
        QTest::newRow("status line over the background")
            << QPoint(100, 360) << kStatusStart + "|000|0|0"
            << "NNNN";
        QTest::newRow("copybook over the paper") << QPoint(450, 300) << kStatusStart + "|000|0|0"
                                                 << "NNNN";
        QTest::newRow("desk") << QPoint(100, 150) << kStatusStart + "|000|0|0"
                              << "NNNN";
        QTest::newRow("bottom panel") << QPoint(600, 380) << kStatusStart + "|000|0|0"
                                      << "NNNN";
    }
    void pointerTable()
    {
        QFETCH(QPoint, point);
        QFETCH(QString, expected);
        QFETCH(QString, colours);
        moveTo(point.x(), point.y());
        QCOMPARE(selection(), expected);
        QCOMPARE(labelColours(), colours);
    }

    // Icons set only their own flag; labels leave the tool and the colours; only the background
    // makes labels navy again, and only it and the paper clear the flags.
    void pointerSequence()
    {
        moveTo(250, 304); // Конспект: cribs flag, tool untouched
        moveTo(250, 325); // notes icon
        QCOMPARE(selection(), kStatusNotes + "|101|1|3");
        moveTo(30, 251); // bombs icon
        QCOMPARE(selection(), kStatusBombs + "|111|2|3");
        QCOMPARE(labelColours(), QStringLiteral("RNRN"));
        moveTo(540, 300); // paper: flags cleared, label colours stay
        QCOMPARE(selection(), kStatusNothing + "|000|0|3");
        QCOMPARE(labelColours(), QStringLiteral("RNRR"));
        for (const QPoint flag :
             {QPoint(250, 304), QPoint(250, 325), QPoint(30, 251)}) // every flag again
            moveTo(flag.x(), flag.y());
        moveTo(300, 100); // background: flags cleared, labels navy
        QCOMPARE(selection(), kStatusSuspicious + "|000|5|3");
        QCOMPARE(labelColours(), QStringLiteral("NNNN"));
    }

    // A pointer move repaints only what it changes: moves that change nothing paint nothing, a new
    // status text paints the status line only, a label turning red or navy paints that label only.
    void repaintsOnlyWhatChanged()
    {
        moveTo(300, 100);
        PaintRecorder recorder;
        recorder.take();
        moveTo(302, 101);
        QVERIFY(recorder.take().isEmpty());

        moveTo(250, 325); // notes icon: the status line, and "Конспект" turns red
        const QRegion changed = recorder.take();
        const QRegion status(gameScreen()->statusLine->geometry());
        const QRegion label(gameScreen()->sheetLabel(Sheet::Notes)->geometry());
        QVERIFY(changed.intersects(status) && changed.intersects(label));
        QVERIFY2(
            changed.subtracted(status).subtracted(label).isEmpty(),
            qPrintable(
                QStringLiteral("painted beyond: %1")
                    .arg(changed.subtracted(status).subtracted(label).boundingRect().width())));
        moveTo(252, 327);
        QVERIFY(recorder.take().isEmpty());

        moveTo(150, 262); // "Шпоры": a new status text, no colour
        QVERIFY(recorder.take().subtracted(status).isEmpty());
        moveTo(300, 100); // the background: the status line, and "Конспект" navy again
        QVERIFY(recorder.take().subtracted(status).subtracted(label).isEmpty());
    }

    // A press on the notes icon keeps every later move on it, wherever the pointer goes.
    void dragFromNotes()
    {
        QTest::mousePress(gameScreen(), Qt::LeftButton, Qt::NoModifier, QPoint(250, 325));
        moveTo(300, 100);
        moveTo(540, 300);
        QCOMPARE(selection(), kStatusNotes + "|100|1|0");
        QTest::mouseRelease(gameScreen(), Qt::LeftButton, Qt::NoModifier, QPoint(540, 300));
        moveTo(300, 100);
        QCOMPARE(gameScreen()->exam().state().tool, Tool::LookingSuspicious);
    }

    // Sky blue over the exit button, white again over the bare panel, unchanged over a gauge.
    void exitHover()
    {
        moveTo(300, 445);
        QCOMPARE(gameScreen()->exitButton->fontColor(), kSkyBlue);
        moveTo(60, 430); // the time gauge
        QCOMPARE(gameScreen()->exitButton->fontColor(), kSkyBlue);
        moveTo(600, 458); // bare panel below the suspicion gauge
        QCOMPARE(gameScreen()->exitButton->fontColor(), QColor(Qt::white));
    }

    // ---- Inspection panels ----

    // Hidden panels change nothing; the menu item shows both; a tick refreshes every read-out.
    void readoutAfterTick()
    {
        // The notes on their second frame, the bombs on their fourth, the examiner patrolling to
        // the right, the student looking around.
        moveTo(250, 325);
        moveTo(30, 251);
        for (int step = 0; step < 4; ++step) {
            if (step < 2)
                gameScreen()->exam().cycleIcon(Sheet::Notes);
            gameScreen()->exam().cycleIcon(Sheet::Bombs);
        }
        moveTo(300, 100);
        QVERIFY(walkExaminerTo(ExaminerWalk::State::Patrolling));
        gameScreen()->walkTimer->fire();
        gameScreen()->examClock->fire();
        QCOMPARE(gameScreen()->counterReadouts[0]->caption(), QStringLiteral("0"));
        QCOMPARE(gameScreen()->examinerStateReadout->caption(), QStringLiteral("PemX = 0"));

        gameScreen()->showHiddenAction->trigger();
        QVERIFY(!gameScreen()->clipPanel->isHidden() && !gameScreen()->readoutPanel->isHidden());
        gameScreen()->examClock->fire();
        QStringList captions;
        for (int i : {0, 1, 2, 3, 4, 9})
            captions << gameScreen()->counterReadouts[i]->caption();
        QCOMPARE(captions, (QStringList{"2", "4", "0", "0", "0", "0"}));
        QCOMPARE(gameScreen()->toolReadout->caption(), QStringLiteral("Free = 5"));
        QCOMPARE(gameScreen()->examinerStateReadout->caption(), QStringLiteral("PemX = 3"));
        QCOMPARE(gameScreen()->directionReadout->caption(), QStringLiteral("Pem_LR = 1"));
    }

    // Over a disabled button outside the frame a move refreshes and a click hides the read-out;
    // inside the frame the frame takes both.
    void pointerOnPanel()
    {
        gameScreen()->onShowHiddenTriggered();
        moveTo(250, 325);
        for (int step = 0; step < 4; ++step)
            gameScreen()->exam().cycleIcon(Sheet::Notes);
        moveTo(360 + 19, 104 + 19); // the notes counter, inside the frame
        QCOMPARE(gameScreen()->counterReadouts[0]->caption(), QStringLiteral("0"));
        QTest::mouseClick(gameScreen(), Qt::LeftButton, Qt::NoModifier, QPoint(360 + 19, 104 + 19));
        QVERIFY(!gameScreen()->readoutPanel->isHidden());

        moveTo(360 + 131, 104 + 19); // the fifth counter
        QCOMPARE(gameScreen()->counterReadouts[0]->caption(), QStringLiteral("4"));
        QVERIFY(walkExaminerTo(ExaminerWalk::State::SteppingDown));
        moveTo(360 + 130, 104 + 43); // the examiner's state
        QCOMPARE(gameScreen()->examinerStateReadout->caption(), QStringLiteral("PemX = 2"));

        QTest::mouseClick(gameScreen(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(360 + 131, 104 + 19));
        QVERIFY(gameScreen()->readoutPanel->isHidden());
        QVERIFY(!gameScreen()->clipPanel->isHidden());
    }

    // The notes counter read-out: "5" after the label Бомбы, "3" after Шпоры.
    void notesCounterReadout()
    {
        gameScreen()->onShowHiddenTriggered();
        moveTo(30, 240);
        gameScreen()->examClock->fire();
        QCOMPARE(gameScreen()->counterReadouts[0]->caption(), QStringLiteral("5"));
        moveTo(150, 262);
        gameScreen()->examClock->fire();
        QCOMPARE(gameScreen()->counterReadouts[0]->caption(), QStringLiteral("3"));
    }

    // f1 opens and plays the sitting clip; a second f1 restarts nothing; af shows frame 1.
    void clipButtons()
    {
        QDir().mkpath(m_screens->path(QStringLiteral("base/video")));
        QVERIFY(AviWriter::writeSplit(m_screens->path(QStringLiteral("base/video/pemik_sit.avi")),
                                      QSize(40, 60), 1, 4, ClipCodec::Bgr24,
                                      QColor(210, 238, 154)));
        gameScreen()->onSittingClipClicked();
        QVERIFY(gameScreen()->examinerClip->active());
        gameScreen()->examinerClip->frameTimer();
        gameScreen()->examinerClip->frameTimer();
        QCOMPARE(gameScreen()->examinerClip->currentFrame(), 3);
        gameScreen()->onSittingClipClicked();
        QCOMPARE(gameScreen()->examinerClip->currentFrame(), 3);
        gameScreen()->onStopClipClicked();
        QVERIFY(!gameScreen()->examinerClip->active());
        QCOMPARE(gameScreen()->examinerClip->currentFrame(), 1);

        // f2's clip is missing: the error is reported and the clip is closed.
        gameScreen()->onShowHiddenTriggered();
        QTest::mouseClick(gameScreen()->sittingClip2Button, Qt::LeftButton);
        QCOMPARE(ErrorBox::openTexts(), QStringList{QStringLiteral("Cannot open AVI.")});
        QVERIFY(!gameScreen()->examinerClip->isOpen());
    }

    // ---- Icon cycles ----

    // Notes in use: b1..b5 then b1, counter 1, 2, 3, 4, 0, 1; the icon sized to its frame.
    void notesCycle()
    {
        moveTo(250, 325);
        QList<int> frames, counters;
        for (int tick = 0; tick < 6; ++tick) {
            gameScreen()->exam().cycleIcon(Sheet::Notes);
            frames << shownFrame(gameScreen()->sheetPicture(Sheet::Notes));
            counters << counter(Sheet::Notes);
        }
        QCOMPARE(frames, (QList<int>{1, 2, 3, 4, 5, 1}));
        QCOMPARE(counters, (QList<int>{1, 2, 3, 4, 0, 1}));

        // The sheet takes the size of the frame it shows.
        QImage large(48, 48, QImage::Format_ARGB32);
        large.fill(frameColour(2));
        QVERIFY(large.save(m_screens->path(QStringLiteral("base/image/Ico/b2.ico")), "ICO"));
        gameScreen()->exam().cycleIcon(Sheet::Notes);
        QCOMPARE(shownFrame(gameScreen()->sheetPicture(Sheet::Notes)), 2);
        QCOMPARE(gameScreen()->sheetPicture(Sheet::Notes)->geometry(), QRect(236, 306, 48, 48));
    }

    // Cribs and bombs side by side, each on its own counter; the notes out of use keep theirs.
    void twoSheetsSideBySide()
    {
        moveTo(150, 275);
        moveTo(30, 251);
        gameScreen()->exam().cycleIcon(Sheet::Bombs);
        gameScreen()->exam().cycleIcon(Sheet::Bombs);
        gameScreen()->examClock->fire();
        QCOMPARE(counter(Sheet::Cribs), 1);
        QCOMPARE(counter(Sheet::Bombs), 3);
        QCOMPARE(shownFrame(gameScreen()->sheetPicture(Sheet::Cribs)), 1);
        QCOMPARE(shownFrame(gameScreen()->sheetPicture(Sheet::Bombs)), 3);
        QCOMPARE(counter(Sheet::Notes), 0);
        QCOMPARE(shownFrame(gameScreen()->sheetPicture(Sheet::Notes)), 0);
    }

    // A missing frame is skipped in silence, the counter advancing; an invalid one raises
    // "Icon image is not valid" and ends the tick before the read-out, after the time step.
    void brokenFrames()
    {
        QVERIFY(QFile::remove(m_screens->path(QStringLiteral("base/image/Ico/b2.ico"))));
        moveTo(250, 325);
        gameScreen()->exam().cycleIcon(Sheet::Notes);
        gameScreen()->exam().cycleIcon(Sheet::Notes);
        QCOMPARE(counter(Sheet::Notes), 2);
        QCOMPARE(shownFrame(gameScreen()->sheetPicture(Sheet::Notes)), 1);
        QVERIFY(ErrorBox::openTexts().isEmpty());

        m_screens->write(QStringLiteral("base/image/Ico/b3.ico"), "not an icon");
        gameScreen()->onShowHiddenTriggered();
        gameScreen()->examClock->fire();
        QCOMPARE(ErrorBox::openTexts(), QStringList{QStringLiteral("Icon image is not valid.")});
        QCOMPARE(counter(Sheet::Notes), 3);
        QCOMPARE(shownFrame(gameScreen()->sheetPicture(Sheet::Notes)), 1);
        QCOMPARE(gameScreen()->counterReadouts[0]->caption(), QStringLiteral("0"));
        QCOMPARE(gameScreen()->timeGauge->progress(), 99);
    }

private:
    std::unique_ptr<ScreenFixture> m_screens;
};

QTEST_MAIN(TestGameScreenPointer)
#include "test_GameScreen_pointer.moc"
