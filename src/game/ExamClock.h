#pragma once

#include <QColor>

#include <optional>

// The time gauge's rules for one time step, by the time left p (0..100) as the step begins.
class ExamClock {
public:
    // The bar colour for p: lime above 90, yellow in 21..49, red in 1..19; none (keep the colour)
    // at 100, in 50..90, at 20 and at 0.
    static std::optional<QColor> barColour(int timeLeft);

    // The last ticks of an exam beep, the one that ends it included.
    static bool beeps(int timeLeft);
};
