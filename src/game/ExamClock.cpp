#include "game/ExamClock.h"

#include "toolkit/Colors.h"

namespace {

using namespace Colors;

// Time left below which every step beeps.
constexpr int kBeepBelow = 5;


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
