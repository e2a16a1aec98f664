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

void step(int &points, Direction &direction)
{
    switch (direction) {
    case Direction::Shrinking:
        if (points < kSmallest)
            direction = Direction::Growing;
        else
            points -= kStep;
        break;
    case Direction::Growing:
        if (points > kLargest)
            direction = Direction::Shrinking;
        else
            points += kStep;
        break;
    }
}

} // namespace MenuPulse
