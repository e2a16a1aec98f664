#pragma once

// The pulse of a hovered menu entry: its font shrinks by 2 points a step down to below 16, holds
// one step while it turns, grows back to above 24, holds one step and shrinks again.
// Direction 0 is shrinking, any other value growing.
namespace MenuPulse {

// One step on a font of `points` with the given direction; changes one of the two.
void step(int &points, int &direction);

} // namespace MenuPulse
