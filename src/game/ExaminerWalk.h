#pragma once

#include <QPoint>
#include <QRect>

// The examiner's walk away from his seat and back, on plain rectangles in the game screen's
// pixels. The screen copies the clips' current geometry in, runs one step, and copies the result
// back, so the desk's bounds are always those of the moment.
//
// decide() runs once per exam-clock tick; the four steps run in the order stepLeave, stepDown,
// patrol, returnHome on every walk tick (walkTick), each acting only in its own state and seeing
// what the step before it left, so one tick can change the state and take the next state's first
// step. Every move is a multiple of 5 away from home, so the return ends exactly at home.
//
// The state and the direction carry their numbers into the read-out: 0..4 and 0 or 1.
class ExaminerWalk {
public:
    enum class State { AtDesk = 0, Leaving = 1, SteppingDown = 2, Patrolling = 3, Returning = 4 };
    enum class Direction { MovingLeft = 0, MovingRight = 1 };

    // Leaves when the suspicion lies in 61..69 at the desk; called back from any walking state
    // when it lies in 51..54.
    void decide(int suspicion);

    void stepLeave();  // along the desk, 10 px to the right per tick
    void stepDown();   // beside the desk, 10 px down per tick
    void patrol();     // 5 px per tick between the desk's right edge and the patrol bound
    void returnHome(); // left past the desk, up to the home row, left to the seat; then seated
    void walkTick();

    // Desk right edge, desk floor line, patrol right bound, from the current rectangles.
    int deskRight() const;
    int floorLine() const;
    int patrolRight() const;

    QRect examiner;
    QRect desk;
    // The examiner's seat, where the game screen placed him when it was made; (0, 0) until then.
    QPoint home;
    State state = State::AtDesk;
    Direction direction = Direction::MovingLeft;
    // Whether the walk timer runs.
    bool walking = false;
};
