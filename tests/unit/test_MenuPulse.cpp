#include "menu/MenuPulse.h"

#include <QTest>

using MenuPulse::Direction;

class TestMenuPulse : public QObject {
    Q_OBJECT
private slots:
    // From 24 points shrinking: 22..14, a held turn, 16..26, a held turn, back at 24 after 14
    // steps.
    void fullCycle()
    {
        int points = 24;
        Direction direction = Direction::Shrinking;
        QList<int> sizes;
        QList<Direction> directions;
        for (int i = 0; i < 14; ++i) {
            MenuPulse::step(points, direction);
            sizes << points;
            directions << direction;
        }
        QCOMPARE(sizes, (QList<int>{22, 20, 18, 16, 14, 14, 16, 18, 20, 22, 24, 26, 26, 24}));
        // The direction turns on the held steps only.
        QCOMPARE(directions.indexOf(Direction::Growing), 5);
        QCOMPARE(directions.lastIndexOf(Direction::Growing), 11);
        QCOMPARE(direction, Direction::Shrinking);
    }

    // The turns at their bounds from both sides, also at odd sizes (a size in points comes back
    // from whole pixels): a shrinking entry turns below 16, a growing one above 24.
    void turns_data()
    {
        QTest::addColumn<int>("points");
        QTest::addColumn<bool>("growing");
        QTest::addColumn<int>("after");
        QTest::addColumn<bool>("growingAfter");
        QTest::newRow("shrinking at 16") << 16 << false << 14 << false;
        QTest::newRow("shrinking at 15") << 15 << false << 15 << true;
        QTest::newRow("growing at 24") << 24 << true << 26 << true;
        QTest::newRow("growing at 25") << 25 << true << 25 << false;
    }
    void turns()
    {
        QFETCH(int, points);
        QFETCH(bool, growing);
        Direction direction = growing ? Direction::Growing : Direction::Shrinking;
        MenuPulse::step(points, direction);
        QTEST(points, "after");
        QTEST(direction == Direction::Growing, "growingAfter");
    }
};

QTEST_GUILESS_MAIN(TestMenuPulse)
#include "test_MenuPulse.moc"
