#include "game/ExamResult.h"

#include <QTest>

class TestExamResult : public QObject {
    Q_OBJECT
private slots:
    // Points for every share 0..100: share × 5 / 100, exact halves to the even neighbour.
    void pointsForEveryShare()
    {
        for (int share = 0; share <= 100; ++share) {
            int expected = 0;
            if (share >= 91)
                expected = 5;
            else if (share >= 70)
                expected = 4;
            else if (share >= 51)
                expected = 3;
            else if (share >= 30)
                expected = 2;
            else if (share >= 11)
                expected = 1;
            QVERIFY2(ExamResult::points(share) == expected, qPrintable(QString::number(share)));
        }
    }

    // The halves: 10 → 0, 30 → 2, 50 → 2, 70 → 4, 90 → 4.
    void halvesGoToEven()
    {
        QCOMPARE(ExamResult::points(10), 0);
        QCOMPARE(ExamResult::points(30), 2);
        QCOMPARE(ExamResult::points(50), 2);
        QCOMPARE(ExamResult::points(70), 4);
        QCOMPARE(ExamResult::points(90), 4);
    }

    // The six pieces without anything between them, normal and caught.
    void resultLines()
    {
        QCOMPARE(ExamResult::resultLine(QStringLiteral("Студент"), 57, false),
                 QStringLiteral("Студент - 57 % списано! Или = 3 баллов"));
        QCOMPARE(
            ExamResult::resultLine(QStringLiteral("Студент"), 30, true),
            QStringLiteral("Студент - 30 % списано! Или = 2 баллов. Но Вы пытальсь списать! и Ваша "
                           "оценка и все предыдущие = 0!"));
        QCOMPARE(ExamResult::resultLine(QString(), 0, false),
                 QStringLiteral(" - 0 % списано! Или = 0 баллов"));
    }

    // The name goes in unchanged, even when it holds the separator or the line's own pieces.
    void nameUnchanged()
    {
        const QString name = QStringLiteral("----------------- - 5 % списано!  ");
        QVERIFY(ExamResult::resultLine(name, 100, false)
                    .startsWith(name + QStringLiteral(" - 100 % ")));
        QCOMPARE(ExamResult::separator(), QString(17, u'-'));
    }
};

QTEST_GUILESS_MAIN(TestExamResult)
#include "test_ExamResult.moc"
