#pragma once

#include <optional>

// The five icon frames that a crib sheet in use steps through, one per exam-clock tick, with the
// counter of the frame shown last. The counter runs 0..4; a held cycle (the notes, once the pointer
// has passed over the label "Бомбы") stands still until it is released.
class IconCycle {
public:
    static constexpr int kFrames = 5;

    // Advances the counter and returns the frame (1..5) to show now; nothing while held.
    std::optional<int> advance();

    // Halts the cycle on the frame it shows; the counter reads 5.
    void hold();
    // Sets the counter to 3, so that the next step shows the fourth frame, held or not.
    void release();

    // What the read-out shows: 0..4, or 5 while held.
    int counter() const { return m_counter; }

private:
    int m_counter = 0;
};
