#include "game/IconCycle.h"

namespace {

// The counter of a held cycle, outside 0..4, and that of a released one.
constexpr int kHeld = 5;
constexpr int kReleased = 3;

} // namespace

std::optional<int> IconCycle::advance()
{
    if (m_counter >= kFrames) // held
        return std::nullopt;
    const int frame = m_counter + 1;
    m_counter = frame % kFrames;
    return frame;
}

void IconCycle::hold()
{
    m_counter = kHeld;
}

void IconCycle::release()
{
    m_counter = kReleased;
}
