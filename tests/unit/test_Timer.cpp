#include "formats/GameError.h"
#include "toolkit/ErrorBox.h"
#include "toolkit/Guard.h"
#include "toolkit/Timer.h"

#include <QElapsedTimer>
#include <QTest>

class TestTimer : public QObject {
    Q_OBJECT
private slots:
    // Enabling an enabled timer keeps its phase; a new interval restarts the count, the same one
    // does not.
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
        QObject::connect(&timer, &Timer::timeout, [&] { ++ticks; });
        QElapsedTimer clock;
        clock.start();
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 5, 5000);
        QVERIFY(clock.elapsed() >= 4 * Timer::kResolutionMs);
    }

    // A dormant timer stays enabled but does not run; it counts the ticks that fall due, and once
    // awake ticks on its old phase: the first tick comes within one period and ticks go on.
    void dormantCountsTicksAndKeepsPhase()
    {
        Timer timer(40, true);
        int ticks = 0;
        QObject::connect(&timer, &Timer::timeout, [&] { ++ticks; });
        QElapsedTimer asleep;
        timer.setDormant(true);
        asleep.start();
        QVERIFY(timer.enabled());
        QCOMPARE(timer.remainingTime(), -1);
        QTest::qWait(400);
        const int missed = timer.takeMissedTicks();
        QVERIFY2(missed >= 400 / 40 - 1 && missed <= asleep.elapsed() / 40 + 1,
                 qPrintable(QString::number(missed)));
        QCOMPARE(ticks, 0);
        QCOMPARE(timer.takeMissedTicks(), 0);

        timer.setDormant(false);
        QVERIFY(timer.remainingTime() >= 0 && timer.remainingTime() <= 40);
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 3, 5000);
        QCOMPARE(timer.takeMissedTicks(), 0);

        // Disabled, it counts nothing; enabled while dormant, it still does not run.
        timer.setDormant(true);
        timer.setEnabled(false);
        timer.takeMissedTicks();
        QTest::qWait(100);
        QCOMPARE(timer.takeMissedTicks(), 0);
        timer.setEnabled(true);
        QCOMPARE(timer.remainingTime(), -1);
        timer.setDormant(false);
        QVERIFY(timer.remainingTime() >= 0);
    }

    // An error in a tick's slot, connected as every screen connects it, is shown and ends that
    // slot only: the other slot of the tick still runs, and the timer goes on ticking.
    void errorInTickKeepsTicking()
    {
        struct Slots : QObject {
            int ticks = 0;
            int after = 0;
            void failing()
            {
                ++ticks;
                throw GameError(QStringLiteral("Boom"));
            }
            void following() { ++after; }
        } counts;
        Timer timer(20, true);
        connectGuarded(&timer, &Timer::timeout, &counts, &Slots::failing);
        connectGuarded(&timer, &Timer::timeout, &counts, &Slots::following);
        QTRY_VERIFY_WITH_TIMEOUT(counts.ticks >= 3, 5000);
        QVERIFY(timer.enabled());
        QVERIFY(counts.after >= counts.ticks - 1);
        QVERIFY(!ErrorBox::openTexts().isEmpty());
    }
};

QTEST_MAIN(TestTimer)
#include "test_Timer.moc"
