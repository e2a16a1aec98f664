#pragma once

// The pulse of a hovered menu entry: its font shrinks by 2 points a step down to below 16, holds
// one step while it turns, grows back to above 24, holds one step and shrinks again.
namespace MenuPulse {

enum class Direction { Shrinking, Growing };

// One step on a font of `points` going in `direction`; changes one of the two.
void step(int &points, Direction &direction);

} // namespace MenuPulse
