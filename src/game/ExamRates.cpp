#include "game/ExamRates.h"

namespace {

constexpr int kStates = 5;

// Suspicion per tick; rows are examiner states, columns the tools 0, 1, 2, 3 and 5.
constexpr int kSuspicion[kStates][5] = {
    {-1, 4, 10, 5, 2},
    {-2, 5, 7, 4, 1},
    {-2, 5, 8, 4, 1},
    {-3, 10, 10, 10, 2},
    {-4, 4, 15, 4, 1},
};

// Copied share per tick and sheet in use; rows are examiner states, columns notes, bombs, cribs.
constexpr int kCopying[kStates][3] = {
    {1, 4, 2},
    {1, 4, 2},
    {0, 0, 1},
    {0, 0, 1},
    {2, 4, 3},
};

// Column of a tool in the suspicion table, -1 for a tool that never occurs (4 and beyond).
int toolColumn(int tool)
{
    if (tool >= 0 && tool <= 3)
        return tool;
    return tool == 5 ? 4 : -1;
}

bool knownState(int state) { return state >= 0 && state < kStates; }

} // namespace

int ExamRates::suspicionChange(int examinerState, int tool)
{
    const int column = toolColumn(tool);
    if (!knownState(examinerState) || column < 0)
        return 0;
    return kSuspicion[examinerState][column];
}

int ExamRates::copyGain(int examinerState, Sheet sheet)
{
    if (!knownState(examinerState))
        return 0;
    return kCopying[examinerState][sheet];
}
