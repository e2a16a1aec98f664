#pragma once

#include <QString>

// The lines an exam leaves in the score list: a separator, then the result line with the
// player's name, the copied share and the points.
class ExamResult {
public:
    // The line written before every result line.
    static QString separator();

    // Share × 5 / 100 rounded to the nearest whole number, exact halves to the even neighbour:
    // 10 % gives 0 points, 30 % gives 2, 90 % gives 4.
    static int points(int share);

    // "<name> - <share> % списано! Или = <points> баллов", with the caught suffix when the
    // student was caught. The name goes in unchanged, whatever it holds.
    static QString resultLine(const QString &name, int share, bool caught);
};
