#pragma once

#include "game/ExamState.h"
#include "game/ExaminerWalk.h"

// How fast one exam-clock tick moves the suspicion and the copied share, by where the examiner is.
class ExamRates {
public:
    // Signed change of the suspicion for one tick, by the tool in use: negative while nothing is in
    // use. A tool or state outside the tables changes nothing.
    static int suspicionChange(ExaminerWalk::State examiner, Tool tool);

    // What one sheet in use adds to the copied share in one tick; the gains of sheets used
    // together add up.
    static int copyGain(ExaminerWalk::State examiner, Sheet sheet);
};
