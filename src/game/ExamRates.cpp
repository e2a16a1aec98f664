#include "game/ExamRates.h"

namespace {

constexpr int kStates = int(kExaminerStates);

// Suspicion per tick while no sheet's tool is in use, per examiner state; the sheets' own columns
// are in their rows.
constexpr RateColumn kNothingSuspicion{-1, -2, -2, -3, -4};
constexpr RateColumn kLookingSuspicion{2, 1, 1, 2, 1};

// The suspicion column of a tool; none for a value that is no tool.
const RateColumn *suspicionColumn(Tool tool)
{
    if (tool == Tool::Nothing)
        return &kNothingSuspicion;
    if (tool == Tool::LookingSuspicious)
        return &kLookingSuspicion;
    for (const CribSheet &row : kCribSheets)
        if (row.tool == tool)
            return &row.suspicion;
    return nullptr;
}

bool knownState(ExaminerWalk::State state)
{
    return int(state) >= 0 && int(state) < kStates;
}

} // namespace

int ExamRates::suspicionChange(ExaminerWalk::State examiner, Tool tool)
{
    const RateColumn *column = suspicionColumn(tool);
    if (!knownState(examiner) || !column)
        return 0;
    return (*column)[size_t(examiner)];
}

int ExamRates::copyGain(ExaminerWalk::State examiner, Sheet sheet)
{
    if (!knownState(examiner))
        return 0;
    return cribSheet(sheet).copying[size_t(examiner)];
}
