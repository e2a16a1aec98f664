#include "game/ExamRates.h"

#include <QTest>

class TestExamRates : public QObject {
    Q_OBJECT
private slots:
    // Every cell of the suspicion table: rows are examiner states, columns the tools 0, 1, 2, 3, 5.
    void suspicionTable()
    {
        const Tool tools[] = {Tool::Nothing, Tool::Notes, Tool::Bombs, Tool::Cribs,
                              Tool::LookingSuspicious};
        // clang-format off
        const int expected[5][5] = {
            {-1, 4, 10, 5, 2},
            {-2, 5, 7, 4, 1},
            {-2, 5, 8, 4, 1},
            {-3, 10, 10, 10, 2},
            {-4, 4, 15, 4, 1},
        };
        // clang-format on
        for (int state = 0; state < 5; ++state)
            for (int column = 0; column < 5; ++column)
                QCOMPARE(ExamRates::suspicionChange(ExaminerWalk::State(state), tools[column]),
                         expected[state][column]);
    }

    // A value that is no tool (4, or anything outside the table) leaves the suspicion alone.
    void unknownToolChangesNothing()
    {
        for (int state = 0; state < 5; ++state)
            for (int tool : {4, 6, -1})
                QCOMPARE(ExamRates::suspicionChange(ExaminerWalk::State(state), Tool(tool)), 0);
    }

    // Every cell of the copying table: notes, bombs, cribs per examiner state.
    void copyingTable()
    {
        const int expected[5][3] = {{1, 4, 2}, {1, 4, 2}, {0, 0, 1}, {0, 0, 1}, {2, 4, 3}};
        const Sheet columns[] = {Sheet::Notes, Sheet::Bombs, Sheet::Cribs};
        for (int state = 0; state < 5; ++state) {
            for (int column = 0; column < 3; ++column)
                QCOMPARE(ExamRates::copyGain(ExaminerWalk::State(state), columns[column]),
                         expected[state][column]);
        }
    }
};

QTEST_GUILESS_MAIN(TestExamRates)
#include "test_ExamRates.moc"
