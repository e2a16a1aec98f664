#pragma once

#include "game/CribSheets.h"
#include "game/IconCycle.h"

#include <algorithm>
#include <array>

// What an exam's pointer moves and clock ticks leave behind, apart from the gauges and the
// examiner: the tool in use, the sheets copied from and the frame counters of the sheets' icons.
// Nothing here is reset between exams.
//
// The sheets in use and the tool need not agree: several sheets can be in use at once, and the
// labels mark a sheet in use without changing the tool.
struct ExamState {
    Tool tool = Tool::Nothing;
    std::array<bool, kSheetCount> inUse{};
    std::array<IconCycle, kSheetCount> icons{};

    bool sheetInUse(Sheet sheet) const { return inUse[ordinal(sheet)]; }
    bool anySheetInUse() const
    {
        return std::any_of(inUse.begin(), inUse.end(), [](bool used) { return used; });
    }
    void markInUse(Sheet sheet) { inUse[ordinal(sheet)] = true; }
    void clearSheets() { inUse.fill(false); }

    IconCycle &icon(Sheet sheet) { return icons[ordinal(sheet)]; }
    const IconCycle &icon(Sheet sheet) const { return icons[ordinal(sheet)]; }
};
