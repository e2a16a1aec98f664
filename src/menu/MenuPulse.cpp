#include "menu/MenuPulse.h"

namespace MenuPulse {

namespace {
// Below this size a shrinking entry turns.
constexpr int kSmallest = 16;
// Above this size a growing entry turns.
constexpr int kLargest = 24;
// Points per step.
constexpr int kStep = 2;
} // namespace

void step(int &points, int &direction)
{
    if (direction == 0) {
        if (points < kSmallest)
            direction = 1;
        else
            points -= kStep;
    } else {
        if (points > kLargest)
            direction = 0;
        else
            points += kStep;
    }
}

} // namespace MenuPulse
