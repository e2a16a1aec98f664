#include "game/ExamRates.h"

#include <QTest>

class TestExamRates : public QObject {
    Q_OBJECT
private slots:
    // Every cell of the suspicion table: rows are examiner states, columns the tools 0, 1, 2, 3, 5.
    void suspicionTable()
    {
        const int tools[] = {0, 1, 2, 3, 5};
        const int expected[5][5] = {
            {-1, 4, 10, 5, 2},
            {-2, 5, 7, 4, 1},
            {-2, 5, 8, 4, 1},
            {-3, 10, 10, 10, 2},
            {-4, 4, 15, 4, 1},
        };
        for (int state = 0; state < 5; ++state)
            for (int column = 0; column < 5; ++column)
                QCOMPARE(ExamRates::suspicionChange(state, tools[column]), expected[state][column]);
    }

    // A tool that never occurs (4, or anything outside the table) leaves the suspicion alone.
    void unknownToolChangesNothing()
    {
        for (int state = 0; state < 5; ++state) {
            QCOMPARE(ExamRates::suspicionChange(state, 4), 0);
            QCOMPARE(ExamRates::suspicionChange(state, 6), 0);
            QCOMPARE(ExamRates::suspicionChange(state, -1), 0);
        }
    }

    // Every cell of the copying table: notes, bombs, cribs per examiner state.
    void copyingTable()
    {
        const int expected[5][3] = {{1, 4, 2}, {1, 4, 2}, {0, 0, 1}, {0, 0, 1}, {2, 4, 3}};
        for (int state = 0; state < 5; ++state) {
            QCOMPARE(ExamRates::copyGain(state, ExamRates::Notes), expected[state][0]);
            QCOMPARE(ExamRates::copyGain(state, ExamRates::Bombs), expected[state][1]);
            QCOMPARE(ExamRates::copyGain(state, ExamRates::Cribs), expected[state][2]);
        }
    }
};

QTEST_GUILESS_MAIN(TestExamRates)
#include "test_ExamRates.moc"
