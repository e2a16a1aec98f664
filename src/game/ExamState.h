#pragma once

#include "game/IconCycle.h"

#include <array>

// What the student is doing, by the last control the pointer moved over; the suspicion follows it.
// The numbers are those the read-out shows (4 is never used).
enum class Tool { Nothing = 0, Notes = 1, Bombs = 2, Cribs = 3, LookingSuspicious = 5 };

// The three crib sheets, in the order in which their gains are added.
enum class Sheet { Notes, Bombs, Cribs };
constexpr std::array<Sheet, 3> kSheets{Sheet::Notes, Sheet::Bombs, Sheet::Cribs};

// What an exam's pointer moves and clock ticks leave behind, apart from the gauges and the
// examiner: the tool in use, the sheets copied from and the frame counters of the sheets' icons.
// Nothing here is reset between exams.
//
// The sheets in use and the tool need not agree: several sheets can be in use at once, and the
// labels mark a sheet in use without changing the tool.
struct ExamState {
    Tool tool = Tool::Nothing;
    std::array<bool, kSheets.size()> inUse{};
    std::array<IconCycle, kSheets.size()> icons{};

    bool sheetInUse(Sheet sheet) const { return inUse[ordinal(sheet)]; }
    bool anySheetInUse() const { return inUse[0] || inUse[1] || inUse[2]; }
    void markInUse(Sheet sheet) { inUse[ordinal(sheet)] = true; }
    void clearSheets() { inUse.fill(false); }

    IconCycle &icon(Sheet sheet) { return icons[ordinal(sheet)]; }
    const IconCycle &icon(Sheet sheet) const { return icons[ordinal(sheet)]; }

    static constexpr int ordinal(Sheet sheet) { return static_cast<int>(sheet); }
};
