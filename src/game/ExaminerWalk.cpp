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
    if (state == AtDesk && suspicion > kLeaveAbove && suspicion < kLeaveBelow) {
        state = Leaving;
        walking = true;
    }
    if (state != AtDesk && suspicion > kReturnAbove && suspicion < kReturnBelow)
        state = Returning;
}

void ExaminerWalk::stepLeave()
{
    if (state != Leaving)
        return;
    if (examiner.x() > deskRight())
        state = SteppingDown;
    else
        examiner.translate(kStride, 0);
}

void ExaminerWalk::stepDown()
{
    if (state != SteppingDown)
        return;
    if (examiner.y() + examiner.height() > floorLine())
        state = Patrolling;
    else
        examiner.translate(0, kStride);
}

void ExaminerWalk::patrol()
{
    if (state != Patrolling)
        return;
    if (direction == MovingLeft) {
        if (examiner.x() < deskRight() + kPace)
            direction = MovingRight;
        else
            examiner.translate(-kPace, 0);
    }
    // A turn at the left bound steps right in the same tick; a turn at the right bound does not.
    if (direction == MovingRight) {
        if (examiner.x() > patrolRight())
            direction = MovingLeft;
        else
            examiner.translate(kPace, 0);
    }
}

void ExaminerWalk::returnHome()
{
    if (state != Returning)
        return;
    // Left until past the desk, then up to the home row, then left to the seat.
    const bool besideDesk = examiner.x() >= deskRight() + kPace;
    const bool belowHome = examiner.y() >= home.y() + kPace;
    if (besideDesk || (!belowHome && examiner.x() > home.x())) {
        examiner.translate(-kPace, 0);
    } else if (belowHome) {
        examiner.translate(0, -kPace);
    } else {
        state = AtDesk;
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
