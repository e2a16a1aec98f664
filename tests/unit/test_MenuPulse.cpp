#include "menu/MenuPulse.h"

#include <QTest>

class TestMenuPulse : public QObject {
    Q_OBJECT
private slots:
    // From 24 points shrinking: 22..14, a held turn, 16..26, a held turn, back at 24 after 14 steps.
    void fullCycle()
    {
        int points = 24, direction = 0;
        QList<int> sizes;
        for (int i = 0; i < 14; ++i) {
            MenuPulse::step(points, direction);
            sizes << points;
        }
        QCOMPARE(sizes, (QList<int>{22, 20, 18, 16, 14, 14, 16, 18, 20, 22, 24, 26, 26, 24}));
        QCOMPARE(direction, 0);
    }

    // Any direction other than 0 counts as growing.
    void anyNonZeroGrows()
    {
        int points = 20, direction = 7;
        MenuPulse::step(points, direction);
        QCOMPARE(points, 22);
    }
};

QTEST_GUILESS_MAIN(TestMenuPulse)
#include "test_MenuPulse.moc"
