#pragma once

// How fast one exam-clock tick moves the suspicion and the copied share, by where the examiner is.
// Examiner states: 0 at the desk, 1 leaving along the desk, 2 stepping down, 3 patrolling,
// 4 returning. Tools in use: 0 nothing, 1 notes, 2 bombs, 3 cribs, 5 nothing but looking suspicious.
class ExamRates {
public:
    enum Sheet { Notes, Bombs, Cribs };

    // Signed change of the suspicion for one tick: negative while nothing is in use. A tool or
    // state outside the tables changes nothing.
    static int suspicionChange(int examinerState, int tool);

    // What one sheet in use adds to the copied share in one tick; the gains of sheets used
    // together add up.
    static int copyGain(int examinerState, Sheet sheet);
};
