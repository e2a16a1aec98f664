// The exam without a window: the rates as ticks show them, the order of a tick's steps, the ends
// of an exam and what carries over into the next one.

#include "game/Exam.h"
#include "game/ExamRates.h"

#include <QSignalSpy>
#include <QTest>

#include <functional>

namespace {

using State = ExaminerWalk::State;

// The layout's examiner at his seat and desk, in design pixels.
const QRect kSeat(9, 42, 95, 131);
const QRect kDesk(-16, 96, 176, 93);

const QColor kGreen(0, 128, 0);
const QColor kLime(0, 255, 0);
const QColor kYellow(255, 255, 0);
const QColor kRed(255, 0, 0);

// Sends the examiner out until he is in `state` (Returning: called back from the patrol); the
// suspicion is left at `suspicion`.
void walkTo(Exam &exam, State state, int suspicion)
{
    exam.seatExaminer(kSeat);
    if (state != State::AtDesk) {
        exam.setSuspicion(65);
        exam.decideWalk();
        const State out = state == State::Returning ? State::Patrolling : state;
        for (int i = 0; i < 100 && exam.walk().state != out; ++i)
            exam.walkTick(exam.walk().examiner, kDesk);
        if (state == State::Returning) {
            exam.setSuspicion(52);
            exam.decideWalk();
        }
    }
    exam.setSuspicion(suspicion);
}

// The pointer over the controls named by `path`, in order: B the background, A the answer sheet,
// n b c the notes, bombs and cribs pictures, l the label "Шпоры", L the label "Бомбы".
void hover(Exam &exam, const QString &path)
{
    const QHash<QChar, std::function<void()>> intents{
        {u'B', [&exam] { exam.hoverBackground(); }},
        {u'A', [&exam] { exam.hoverAnswerSheet(); }},
        {u'n', [&exam] { exam.hoverSheet(Sheet::Notes); }},
        {u'b', [&exam] { exam.hoverSheet(Sheet::Bombs); }},
        {u'c', [&exam] { exam.hoverSheet(Sheet::Cribs); }},
        {u'l', [&exam] { exam.hoverSheetLabel(Sheet::Cribs); }},
        {u'L', [&exam] { exam.hoverSheetLabel(Sheet::Bombs); }}};
    for (QChar control : path)
        intents.value(control)();
}

using Ends = QList<QPair<int, bool>>;

Ends endsOf(const QSignalSpy &spy)
{
    Ends ends;
    for (const QList<QVariant> &end : spy)
        ends << qMakePair(end[0].toInt(), end[1].toBool());
    return ends;
}

} // namespace

class TestExam : public QObject {
    Q_OBJECT
private slots:
    // One tick from suspicion 50 and nothing copied, per examiner state and what the pointer
    // rests on: the suspicion's change and the share copied. Every rate of every state.
    void ratesByTicks_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("suspicion");
        QTest::addColumn<int>("copied");
        // Per state: nothing, looking around, then notes, bombs and cribs.
        const int rates[5][8] = {
            {-1, 2, 4, 1, 10, 4, 5, 2},   {-2, 1, 5, 1, 7, 4, 4, 2},  {-2, 1, 5, 0, 8, 0, 4, 1},
            {-3, 2, 10, 0, 10, 0, 10, 1}, {-4, 1, 4, 2, 15, 4, 4, 3},
        };
        for (int state = 0; state < 5; ++state) {
            const int *r = rates[state];
            const auto row = [state](const char *what) -> QTestData & {
                return QTest::addRow("state %d, %s", state, what) << state;
            };
            row("nothing") << "A" << 50 + r[0] << 0;
            row("looking around") << "B" << 50 + r[1] << 0;
            row("notes") << "n" << 50 + r[2] << r[3];
            row("bombs") << "b" << 50 + r[4] << r[5];
            row("cribs") << "c" << 50 + r[6] << r[7];
        }
        // Gains add up; the suspicion follows the tool, which a label leaves alone.
        QTest::newRow("all three at the desk, notes last") << 0 << "bcn" << 54 << 7;
        QTest::newRow("notes and a label's cribs") << 0 << "ln" << 54 << 3;
        QTest::newRow("a label's cribs after the notes") << 0 << "nl" << 54 << 3;
        QTest::newRow("the background clears the sheets") << 0 << "bcB" << 52 << 0;
    }
    void ratesByTicks()
    {
        QFETCH(int, state);
        QFETCH(QString, path);
        QFETCH(int, suspicion);
        QFETCH(int, copied);
        Exam exam;
        walkTo(exam, State(state), 50);
        QCOMPARE(int(exam.walk().state), state);
        hover(exam, path);
        exam.tick();
        QCOMPARE(exam.suspicion(), suspicion);
        QCOMPARE(exam.copied(), copied);
        QCOMPARE(int(exam.walk().state), state);
    }

    // A value that is no tool (4, or anything outside the table) leaves the suspicion alone.
    void unknownToolChangesNothing()
    {
        for (int state = 0; state < 5; ++state)
            for (int tool : {4, 6, -1})
                QCOMPARE(ExamRates::suspicionChange(State(state), Tool(tool)), 0);
    }

    // A whole exam by calls, nothing in use: the colour course, beeps from the 97th tick, the end
    // in the 101st with nothing copied and not caught. The next exam starts from full time, keeps
    // the red bar until its second tick, and keeps the tool and the examiner.
    void wholeExam()
    {
        Exam exam;
        QSignalSpy ends(&exam, &Exam::finished);
        QSignalSpy beeps(&exam, &Exam::beeped);
        QList<QColor> colours;
        connect(&exam, &Exam::timeColourChanged, this,
                [&colours](const QColor &colour) { colours << colour; });
        exam.start();
        hover(exam, "A");
        int ticks = 0;
        while (exam.running() && ticks < 1000) {
            exam.tick();
            ++ticks;
            const QColor expected = ticks >= 82 ? kRed
                : ticks >= 52                   ? kYellow
                : ticks >= 2                    ? kLime
                                                : kGreen;
            QCOMPARE(colours.value(colours.size() - 1, kGreen), expected);
            QCOMPARE(int(beeps.size()), std::max(0, ticks - 96));
        }
        QCOMPARE(ticks, 101);
        QCOMPARE(endsOf(ends), (Ends{{0, false}}));
        QCOMPARE(exam.timeLeft(), 0);

        hover(exam, "b");
        exam.start();
        QVERIFY(exam.running());
        QCOMPARE(exam.timeLeft(), 100);
        QCOMPARE(exam.state().tool, Tool::Bombs);
        colours.clear();
        exam.tick();
        QVERIFY(colours.isEmpty());
        exam.tick();
        QCOMPARE(colours, QList<QColor>{kLime});
        QCOMPARE(exam.copied(), 8);
    }

    // Starting again while an exam runs resets the figures under the running clock and reports
    // no result; the tool, the sheets and the icon counters stay.
    void startUnderRunningClock()
    {
        Exam exam;
        QSignalSpy ends(&exam, &Exam::finished);
        exam.start();
        hover(exam, "n");
        for (int i = 0; i < 3; ++i)
            exam.tick();
        exam.start();
        QVERIFY(exam.running() && ends.isEmpty());
        QCOMPARE((QList{exam.copied(), exam.suspicion(), exam.timeLeft()}), (QList{0, 0, 100}));
        QVERIFY(exam.state().sheetInUse(Sheet::Notes));
        QCOMPARE(exam.state().icon(Sheet::Notes).counter(), 3);
    }

    // One tick from the given figures. The examiner decides before the suspicion step reads his
    // state; each 100 % test comes before its step's change, so a figure that reaches 100 ends the
    // exam only in the next tick; every end in a tick reports, in the order suspicion, copied
    // share, time, with the figures of its moment (the caught test reads the suspicion then).
    void oneTick_data()
    {
        QTest::addColumn<QList<int>>("figures"); // suspicion, copied, time left
        QTest::addColumn<QString>("path");
        QTest::addColumn<QList<int>>("after"); // examiner state, suspicion, copied
        QTest::addColumn<Ends>("ends");
        // At 65 he leaves first, so the step takes 2, not 1.
        QTest::newRow("decision first") << QList{65, 0, 50} << "A" << QList{1, 63, 0} << Ends{};
        QTest::newRow("no decision at 60") << QList{60, 0, 50} << "A" << QList{0, 59, 0} << Ends{};
        QTest::newRow("nothing below 0") << QList{0, 0, 50} << "A" << QList{0, 0, 0} << Ends{};
        QTest::newRow("copied reaches 100")
            << QList{0, 97, 50} << "b" << QList{0, 10, 100} << Ends{};
        QTest::newRow("suspicion reaches 100")
            << QList{95, 0, 50} << "b" << QList{0, 100, 4} << Ends{};
        QTest::newRow("caught") << QList{100, 4, 50} << "A" << QList{0, 99, 4} << Ends{{4, true}};
        QTest::newRow("all copied")
            << QList{30, 100, 50} << "A" << QList{0, 29, 100} << Ends{{100, false}};
        QTest::newRow("caught, then all copied")
            << QList{100, 100, 50} << "A" << QList{0, 99, 100} << Ends{{100, true}, {100, false}};
        QTest::newRow("three ends") << QList{100, 100, 0} << "A" << QList{0, 99, 100}
                                    << Ends{{100, true}, {100, false}, {100, false}};
        // The suspicion step raises 99 to 100; the time's end is caught and sees the copying.
        QTest::newRow("caught when the time runs out")
            << QList{99, 56, 0} << "n" << QList{0, 100, 57} << Ends{{57, true}};
    }
    void oneTick()
    {
        QFETCH(QList<int>, figures);
        QFETCH(QString, path);
        QFETCH(QList<int>, after);
        QFETCH(Ends, ends);
        Exam exam;
        QSignalSpy spy(&exam, &Exam::finished);
        exam.seatExaminer(kSeat);
        exam.start();
        exam.setSuspicion(figures[0]);
        exam.setCopied(figures[1]);
        exam.setTimeLeft(figures[2]);
        hover(exam, path);
        exam.tick();
        QCOMPARE((QList{int(exam.walk().state), exam.suspicion(), exam.copied()}), after);
        QCOMPARE(exam.walk().walking, after[0] != 0);
        QCOMPARE(endsOf(spy), ends);
        QCOMPARE(exam.running(), ends.isEmpty());
    }

    // The copybook plays while any sheet is in use; an end stops it. The copying step starts it
    // again after its own end; the time's end, later in the tick, leaves it stopped.
    void copybook()
    {
        Exam exam;
        QList<bool> playing;
        connect(&exam, &Exam::copybookPlaying, this, [&playing](bool on) { playing << on; });
        exam.start();
        hover(exam, "l");
        exam.tick();
        hover(exam, "A");
        exam.tick();
        QCOMPARE(playing, (QList<bool>{true, false}));
        playing.clear();
        hover(exam, "c");
        exam.setCopied(100);
        exam.tick();
        QCOMPARE(playing, (QList<bool>{false, true}));
        playing.clear();
        exam.setCopied(0);
        exam.setTimeLeft(0);
        exam.tick();
        QCOMPARE(playing, (QList<bool>{true, false}));
    }

    // Icons step only while their sheet is in use, and go on from their frame when it is used
    // again; the label "Бомбы" holds the notes, another label releases them onto the fourth frame.
    void iconFrames()
    {
        Exam exam;
        QList<QPair<Sheet, int>> frames;
        connect(&exam, &Exam::iconFrame, this,
                [&frames](Sheet sheet, int frame) { frames << qMakePair(sheet, frame); });
        hover(exam, "nb");
        exam.cycleIcons();
        hover(exam, "L");
        exam.cycleIcons();
        hover(exam, "l");
        exam.cycleIcons();
        hover(exam, "A");
        exam.cycleIcons();
        hover(exam, "n");
        exam.cycleIcons();
        QCOMPARE(frames,
                 (QList<QPair<Sheet, int>>{{Sheet::Notes, 1},
                                           {Sheet::Bombs, 1},
                                           {Sheet::Bombs, 2},
                                           {Sheet::Notes, 4},
                                           {Sheet::Cribs, 1},
                                           {Sheet::Bombs, 3},
                                           {Sheet::Notes, 5}}));
    }
};

QTEST_GUILESS_MAIN(TestExam)
#include "test_Exam.moc"
