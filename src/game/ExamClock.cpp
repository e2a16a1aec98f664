#include "game/ExamClock.h"

namespace {

// Time left below which every step beeps.
constexpr int kBeepBelow = 5;

const QColor kLime(0, 255, 0);
const QColor kYellow(255, 255, 0);
const QColor kRed(255, 0, 0);

} // namespace

std::optional<QColor> ExamClock::barColour(int p)
{
    if (p > 90 && p < 100)
        return kLime;
    if (p > 20 && p < 50)
        return kYellow;
    if (p > 0 && p < 20)
        return kRed;
    return std::nullopt;
}

bool ExamClock::beeps(int p)
{
    return p < kBeepBelow;
}
