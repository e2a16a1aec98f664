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
};

QTEST_GUILESS_MAIN(TestMenuPulse)
#include "test_MenuPulse.moc"
