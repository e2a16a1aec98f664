#include "toolkit/GameError.h"
#include "toolkit/Timer.h"

#include <QElapsedTimer>
#include <QTest>

class TestTimer : public QObject {
    Q_OBJECT
private slots:
    // Enabling an enabled timer keeps its phase; a new interval restarts the count, the same one does not.
    void enablingAndIntervalRules()
    {
        Timer timer(1000, true);
        QTest::qWait(300);
        const int before = timer.remainingTime();
        timer.setEnabled(true);
        QVERIFY(timer.remainingTime() <= before);
        timer.setInterval(1000);
        QVERIFY(timer.remainingTime() <= before);
        timer.setInterval(2000);
        QVERIFY(timer.remainingTime() > 1500);
    }

    // A disabled timer does not run; its interval applies once it is enabled.
    void intervalOfDisabledTimer()
    {
        Timer timer(500, false);
        timer.setInterval(10000);
        QCOMPARE(timer.remainingTime(), -1);
        timer.setEnabled(true);
        QVERIFY(timer.remainingTime() > 9000);
    }

    // A 1 ms timer fires no faster than the 16 ms resolution.
    void resolution()
    {
        Timer timer(1, true);
        int ticks = 0;
        timer.onTimer = [&] { ++ticks; };
        QElapsedTimer clock;
        clock.start();
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 5, 5000);
        QVERIFY(clock.elapsed() >= 4 * Timer::kResolutionMs);
    }

    // An error in a tick is shown, and the timer goes on ticking.
    void errorInTickKeepsTicking()
    {
        Timer timer(20, true);
        int ticks = 0;
        timer.onTimer = [&] {
            ++ticks;
            throw GameError(QStringLiteral("Boom"));
        };
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 3, 5000);
        QVERIFY(timer.enabled());
    }
};

QTEST_MAIN(TestTimer)
#include "test_Timer.moc"
