#include "game/ExaminerWalk.h"

#include <QTest>

namespace {

// The examiner seated at the desk + (25, −54); by default the layout's desk and examiner.
ExaminerWalk seated(QRect desk = QRect(-16, 96, 176, 93), QSize examiner = QSize(95, 131))
{
    ExaminerWalk walk;
    walk.desk = desk;
    walk.examiner = QRect(QPoint(desk.x() + 25, desk.y() - 54), examiner);
    walk.home = walk.examiner.topLeft();
    return walk;
}

// Runs walk ticks until the state changes or `limit` ticks pass; returns the Lefts after each tick.
QList<int> leftsUntilStateChanges(ExaminerWalk &walk, int limit = 500)
{
    QList<int> lefts;
    const ExaminerWalk::State state = walk.state;
    for (int i = 0; i < limit && walk.state == state; ++i) {
        walk.walkTick();
        lefts << walk.examiner.x();
    }
    return lefts;
}

QList<int> range(int from, int to, int step)
{
    QList<int> values;
    for (int v = from; step > 0 ? v <= to : v >= to; v += step)
        values << v;
    return values;
}

} // namespace

class TestExaminerWalk : public QObject {
    Q_OBJECT
private slots:
    // The bounds at design size: R 160, F 184, P 351; the seat at (9, 42).
    void boundsAtDesignSize()
    {
        const ExaminerWalk walk = seated();
        QCOMPARE(walk.deskRight(), 160);
        QCOMPARE(walk.floorLine(), 184);
        QCOMPARE(walk.patrolRight(), 351);
        QCOMPARE(walk.home, QPoint(9, 42));
    }

    // Leaving, stepping down, patrol and return at design size, tick by tick as laid out.
    void workedExample()
    {
        ExaminerWalk walk = seated();
        walk.decide(65);
        QCOMPARE(walk.state, ExaminerWalk::State::Leaving);
        QVERIFY(walk.walking);

        QList<int> lefts = leftsUntilStateChanges(walk);
        // 16 moves to 169, then the turn that already steps down to 52.
        QCOMPARE(lefts, range(19, 169, 10) << 169);
        QCOMPARE(walk.state, ExaminerWalk::State::SteppingDown);
        QCOMPARE(walk.examiner.y(), 52);

        walk.walkTick();
        QCOMPARE(walk.examiner.y(), 62);
        walk.walkTick();
        QCOMPARE(walk.state, ExaminerWalk::State::Patrolling);
        QCOMPARE(walk.examiner.topLeft(), QPoint(164, 62));

        // Turn at 164 steps right at once; turn at 354 takes a tick of its own.
        lefts.clear();
        for (int i = 0; i < 38 + 1 + 38; ++i) {
            walk.walkTick();
            lefts << walk.examiner.x();
        }
        QCOMPARE(lefts, range(169, 354, 5) << 354 << range(349, 164, -5));
        QCOMPARE(walk.direction, ExaminerWalk::Direction::MovingLeft);
    }

    // The return from (354, 62): left to 164, up to 42, left to 9; then seated, timer off.
    void returnFromPatrol()
    {
        ExaminerWalk walk = seated();
        walk.examiner.moveTo(354, 62);
        walk.state = ExaminerWalk::State::Patrolling;
        walk.walking = true;
        walk.decide(52);
        QCOMPARE(walk.state, ExaminerWalk::State::Returning);

        QList<QPoint> path;
        while (walk.state == ExaminerWalk::State::Returning && path.size() < 500) {
            walk.walkTick();
            path << walk.examiner.topLeft();
        }
        QList<QPoint> expected;
        for (int left : range(349, 164, -5))
            expected << QPoint(left, 62);
        for (int top : range(57, 42, -5))
            expected << QPoint(164, top);
        for (int left : range(159, 9, -5))
            expected << QPoint(left, 42);
        expected << QPoint(9, 42);
        QCOMPARE(path, expected);
        QCOMPARE(walk.state, ExaminerWalk::State::AtDesk);
        QVERIFY(!walk.walking);
    }

    // With a desk and an examiner of other sizes, whose bounds are no multiples of the steps, a
    // whole walk, patrol included, still ends exactly at home.
    void otherSizesEndAtHome()
    {
        ExaminerWalk walk = seated(QRect(-13, 77, 141, 74), QSize(76, 105));
        walk.decide(61);
        for (int i = 0; i < 200; ++i)
            walk.walkTick();
        QCOMPARE(walk.state, ExaminerWalk::State::Patrolling);
        walk.decide(54);
        int ticks = 0;
        while (walk.walking && ticks++ < 1000)
            walk.walkTick();
        QCOMPARE(walk.examiner.topLeft(), walk.home);
        QCOMPARE(walk.state, ExaminerWalk::State::AtDesk);
    }

    // Leaving starts only strictly inside 61..69; the call back only inside 51..54.
    void suspicionBands()
    {
        for (int suspicion : {60, 70, 0, 100, 52}) {
            ExaminerWalk walk = seated();
            walk.decide(suspicion);
            QVERIFY2(walk.state == ExaminerWalk::State::AtDesk && !walk.walking,
                     qPrintable(QString::number(suspicion)));
        }
        for (int suspicion : {50, 55, 65}) {
            ExaminerWalk walk = seated();
            walk.state = ExaminerWalk::State::Patrolling;
            walk.decide(suspicion);
            QCOMPARE(walk.state, ExaminerWalk::State::Patrolling);
        }
        for (int suspicion : {51, 54}) {
            ExaminerWalk walk = seated();
            walk.state = ExaminerWalk::State::Leaving;
            walk.decide(suspicion);
            QCOMPARE(walk.state, ExaminerWalk::State::Returning);
        }
    }

    // A returning examiner is not sent out again; once seated, the band starts a new walk.
    void returningCannotLeave()
    {
        ExaminerWalk walk = seated();
        walk.state = ExaminerWalk::State::Returning;
        walk.walking = true;
        walk.decide(65);
        QCOMPARE(walk.state, ExaminerWalk::State::Returning);
        walk.walkTick();
        QCOMPARE(walk.state, ExaminerWalk::State::AtDesk);
        walk.decide(65);
        QCOMPARE(walk.state, ExaminerWalk::State::Leaving);
    }

    // Called back while leaving: straight back left along the desk; the Top never changes.
    void callBackWhileLeaving()
    {
        ExaminerWalk walk = seated();
        walk.decide(65);
        for (int i = 0; i < 5; ++i)
            walk.walkTick();
        QCOMPARE(walk.examiner.x(), 59);
        walk.decide(53);
        while (walk.walking) {
            walk.walkTick();
            QCOMPARE(walk.examiner.y(), 42);
        }
        QCOMPARE(walk.examiner.topLeft(), QPoint(9, 42));
    }

    // Called back right after the turn down (Left 169): first left to 164, then up, then left.
    void callBackWhileSteppingDown()
    {
        ExaminerWalk walk = seated();
        walk.examiner.moveTo(169, 52);
        walk.state = ExaminerWalk::State::SteppingDown;
        walk.walking = true;
        walk.decide(51);
        walk.walkTick();
        QCOMPARE(walk.examiner.topLeft(), QPoint(164, 52));
        walk.walkTick();
        QCOMPARE(walk.examiner.topLeft(), QPoint(164, 47));
        walk.walkTick();
        QCOMPARE(walk.examiner.topLeft(), QPoint(164, 42));
        walk.walkTick();
        QCOMPARE(walk.examiner.topLeft(), QPoint(159, 42));
    }

    // Every bound of the walk, met exactly and passed by one pixel, at design size (R 160, F 184,
    // P 351, home 9, 42, the examiner 131 high): one walk tick from the given place.
    void boundsMetAndPassed_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("direction");
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<int>("stateAfter");
        QTest::addColumn<int>("directionAfter");
        QTest::addColumn<QPoint>("to");
        const int L = int(ExaminerWalk::Direction::MovingLeft);
        const int Rt = int(ExaminerWalk::Direction::MovingRight);
        QTest::newRow("leaving at R") << 1 << L << QPoint(160, 42) << 1 << L << QPoint(170, 42);
        QTest::newRow("leaving past R") << 1 << L << QPoint(161, 42) << 2 << L << QPoint(161, 52);
        QTest::newRow("down, bottom at F")
            << 2 << L << QPoint(169, 53) << 2 << L << QPoint(169, 63);
        QTest::newRow("down, bottom past F")
            << 2 << L << QPoint(169, 54) << 3 << L << QPoint(164, 54);
        QTest::newRow("patrol left at R+5")
            << 3 << L << QPoint(165, 62) << 3 << L << QPoint(160, 62);
        QTest::newRow("patrol left below R+5")
            << 3 << L << QPoint(164, 62) << 3 << Rt << QPoint(169, 62);
        QTest::newRow("patrol right at P")
            << 3 << Rt << QPoint(351, 62) << 3 << Rt << QPoint(356, 62);
        QTest::newRow("patrol right past P")
            << 3 << Rt << QPoint(352, 62) << 3 << L << QPoint(352, 62);
        QTest::newRow("return at R+5") << 4 << L << QPoint(165, 62) << 4 << L << QPoint(160, 62);
        QTest::newRow("return, top at home+5")
            << 4 << L << QPoint(164, 47) << 4 << L << QPoint(164, 42);
        QTest::newRow("return, top below home+5")
            << 4 << L << QPoint(164, 46) << 4 << L << QPoint(159, 46);
        QTest::newRow("return, one step from home")
            << 4 << L << QPoint(14, 42) << 4 << L << QPoint(9, 42);
        QTest::newRow("return at home") << 4 << L << QPoint(9, 42) << 0 << L << QPoint(9, 42);
    }
    void boundsMetAndPassed()
    {
        QFETCH(int, state);
        QFETCH(int, direction);
        QFETCH(QPoint, from);
        QFETCH(int, stateAfter);
        QFETCH(int, directionAfter);
        QFETCH(QPoint, to);
        ExaminerWalk walk = seated();
        walk.examiner.moveTo(from);
        walk.state = ExaminerWalk::State(state);
        walk.direction = ExaminerWalk::Direction(direction);
        walk.walking = true;
        walk.walkTick();
        QCOMPARE(int(walk.state), stateAfter);
        QCOMPARE(int(walk.direction), directionAfter);
        QCOMPARE(walk.examiner.topLeft(), to);
        QCOMPARE(walk.examiner.size(), QSize(95, 131));
        QCOMPARE(walk.walking, stateAfter != 0);
    }

    // A patrol that ended moving right starts moving right, 5 px on the tick that turns the state.
    void patrolKeepsDirection()
    {
        ExaminerWalk walk = seated();
        walk.examiner.moveTo(169, 62);
        walk.state = ExaminerWalk::State::SteppingDown;
        walk.direction = ExaminerWalk::Direction::MovingRight;
        walk.walking = true;
        walk.walkTick();
        QCOMPARE(walk.state, ExaminerWalk::State::Patrolling);
        QCOMPARE(walk.examiner.x(), 174);
    }
};

QTEST_GUILESS_MAIN(TestExaminerWalk)
#include "test_ExaminerWalk.moc"
