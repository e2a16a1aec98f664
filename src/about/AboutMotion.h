#pragma once

#include <QString>

#include <optional>

// The about screen's two animations as plain rules: the nickname's bounce inside its frame, one
// pixel per tick on each axis, and the caption cycle that ends in "rodVK - Это круто!".
namespace AboutMotion {

enum class Horizontal { Right, Left };
enum class Vertical { Down, Up };

// One tick of the bounce. `left` and `top` are the label's position, `horizontal` and `vertical`
// its directions, `limitX` and `limitY` the largest left and top edges that keep it inside the
// frame. A tick that finds the label at the left or right limit only turns it round; one at the top
// or bottom limit still makes its horizontal move before turning. Beyond a limit (the label grew
// wider than the room left) that axis stands still until the limit is reached again.
void bounce(int &left, int &top, Horizontal &horizontal, Vertical &vertical, int limitX,
            int limitY);

// What one tick of the caption cycle does.
struct CaptionStep {
    QString caption;
    int next;     // the step of the following tick
    int interval; // the timer's new interval in ms; 0 keeps the one it has
};

// Steps 0 to 11; any other step does nothing, and so has no entry.
std::optional<CaptionStep> captionStep(int step);

} // namespace AboutMotion
