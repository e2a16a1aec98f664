#include "game/ExaminerWalk.h"

namespace {

// Steps of the walk in pixels per walk tick: along and down the desk, and on patrol or return.
constexpr int kStride = 10;
constexpr int kPace = 5;
// The floor line lies this far above the desk's lower edge.
constexpr int kFloorInset = 5;
// The patrol turns this far beyond one desk width right of the desk.
constexpr int kPatrolMargin = 15;

// Suspicion bands, bounds excluded: leaving the desk, and being called back.
constexpr int kLeaveAbove = 60;
constexpr int kLeaveBelow = 70;
constexpr int kReturnAbove = 50;
constexpr int kReturnBelow = 55;

} // namespace

int ExaminerWalk::deskRight() const
{
    return desk.x() + desk.width();
}

int ExaminerWalk::floorLine() const
{
    return desk.y() + desk.height() - kFloorInset;
}

int ExaminerWalk::patrolRight() const
{
    return deskRight() + desk.width() + kPatrolMargin;
}

void ExaminerWalk::decide(int suspicion)
{
    if (state == State::AtDesk && suspicion > kLeaveAbove && suspicion < kLeaveBelow) {
        state = State::Leaving;
        walking = true;
    }
    if (state != State::AtDesk && suspicion > kReturnAbove && suspicion < kReturnBelow)
        state = State::Returning;
}

void ExaminerWalk::stepLeave()
{
    if (state != State::Leaving)
        return;
    if (examiner.x() > deskRight())
        state = State::SteppingDown;
    else
        examiner.translate(kStride, 0);
}

void ExaminerWalk::stepDown()
{
    if (state != State::SteppingDown)
        return;
    if (examiner.y() + examiner.height() > floorLine())
        state = State::Patrolling;
    else
        examiner.translate(0, kStride);
}

void ExaminerWalk::patrol()
{
    if (state != State::Patrolling)
        return;
    if (direction == Direction::MovingLeft) {
        if (examiner.x() < deskRight() + kPace)
            direction = Direction::MovingRight;
        else
            examiner.translate(-kPace, 0);
    }
    // A turn at the left bound steps right in the same tick; a turn at the right bound does not.
    if (direction == Direction::MovingRight) {
        if (examiner.x() > patrolRight())
            direction = Direction::MovingLeft;
        else
            examiner.translate(kPace, 0);
    }
}

void ExaminerWalk::returnHome()
{
    if (state != State::Returning)
        return;
    // Left until past the desk, then up to the home row, then left to the seat.
    const bool besideDesk = examiner.x() >= deskRight() + kPace;
    const bool belowHome = examiner.y() >= home.y() + kPace;
    if (besideDesk || (!belowHome && examiner.x() > home.x())) {
        examiner.translate(-kPace, 0);
    } else if (belowHome) {
        examiner.translate(0, -kPace);
    } else {
        state = State::AtDesk;
        walking = false;
    }
}

void ExaminerWalk::walkTick()
{
    stepLeave();
    stepDown();
    patrol();
    returnHome();
}
