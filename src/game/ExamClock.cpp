#include "game/ExamClock.h"

#include "toolkit/Colors.h"

namespace {

using namespace Colors;

// Time left below which every step beeps.
constexpr int kBeepBelow = 5;

} // namespace

std::optional<QColor> ExamClock::barColour(int timeLeft)
{
    if (timeLeft > 90 && timeLeft < 100)
        return kLime;
    if (timeLeft > 20 && timeLeft < 50)
        return kYellow;
    if (timeLeft > 0 && timeLeft < 20)
        return kRed;
    return std::nullopt;
}

bool ExamClock::beeps(int timeLeft)
{
    return timeLeft < kBeepBelow;
}
