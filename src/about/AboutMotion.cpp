#include "about/AboutMotion.h"

#include <array>

namespace AboutMotion {

namespace {

// The fast part of the cycle: the letters spread apart and close up again.
constexpr int kFastMs = 100;
// The slow part: the sentence builds up word by word.
constexpr int kSlowMs = 1000;

struct Row {
    const char *caption; // UTF-8
    int next;
    int interval;
};

const std::array<Row, 12> kCycle{{
    {"rodVK", 1, 0},
    {"rodVK", 2, kFastMs},
    {"r odVK", 3, 0},
    {"r o dVK", 4, 0},
    {"r o d VK", 5, 0},
    {"r o dVK", 6, 0},
    {"r odVK", 7, 0},
    {"rodVK", 8, 0},
    {"rodVK", 9, kSlowMs},
    {"rodVK - ", 10, 0},
    {"rodVK - Это", 11, 0},
    {"rodVK - Это круто!", 0, 0},
}};

// One axis of the bounce: returns true when the tick ends here because the label turned round.
template <class Direction>
bool axisStep(int &position, Direction &direction, Direction forward, Direction backward, int limit)
{
    if (direction == forward) {
        if (position == limit) {
            direction = backward;
            return true;
        }
        if (position < limit)
            ++position;
    } else {
        if (position == 0) {
            direction = forward;
            return true;
        }
        if (position > 0)
            --position;
    }
    return false;
}

} // namespace

void bounce(int &left, int &top, Horizontal &horizontal, Vertical &vertical, int limitX, int limitY)
{
    if (axisStep(left, horizontal, Horizontal::Right, Horizontal::Left, limitX))
        return;
    axisStep(top, vertical, Vertical::Down, Vertical::Up, limitY);
}

std::optional<CaptionStep> captionStep(int step)
{
    if (step < 0 || step >= int(kCycle.size()))
        return std::nullopt;
    const Row &row = kCycle[size_t(step)];
    return CaptionStep{QString::fromUtf8(row.caption), row.next, row.interval};
}

} // namespace AboutMotion
