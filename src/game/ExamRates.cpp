#include "game/ExamRates.h"

namespace {

constexpr int kStates = 5;

// Suspicion per tick; rows are examiner states, columns the tools nothing, notes, bombs, cribs and
// looking suspicious.
// clang-format off
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
// clang-format on

// Column of a tool in the suspicion table, -1 for a value that is no tool.
int toolColumn(Tool tool)
{
    switch (tool) {
    case Tool::Nothing:
        return 0;
    case Tool::Notes:
        return 1;
    case Tool::Bombs:
        return 2;
    case Tool::Cribs:
        return 3;
    case Tool::LookingSuspicious:
        return 4;
    }
    return -1;
}

bool knownState(ExaminerWalk::State state)
{
    return int(state) >= 0 && int(state) < kStates;
}

} // namespace

int ExamRates::suspicionChange(ExaminerWalk::State examiner, Tool tool)
{
    const int column = toolColumn(tool);
    if (!knownState(examiner) || column < 0)
        return 0;
    return kSuspicion[int(examiner)][column];
}

int ExamRates::copyGain(ExaminerWalk::State examiner, Sheet sheet)
{
    if (!knownState(examiner))
        return 0;
    return kCopying[int(examiner)][ExamState::ordinal(sheet)];
}
