#pragma once

#include <QString>

// The five icon frames a crib sheet in use steps through, one per exam-clock tick. The counter
// runs 0..4; any other value (the notes counter can be held at 5) halts the cycle.
class IconCycle {
public:
    static constexpr int kFrames = 5;

    // Advances `counter` and returns the frame (1..5) to show now, or 0 when the counter is
    // outside 0..4, which leaves it unchanged.
    static int advance(int &counter);

    // The file of `frame`, as the game names it.
    static QString framePath(int frame);
};
