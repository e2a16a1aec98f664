#pragma once

#include <QPoint>
#include <QStringView>

#include <array>
#include <cstddef>

// What the student is doing, by the last control the pointer moved over; the suspicion follows it.
// The numbers are those the read-out shows (4 is never used).
enum class Tool { Nothing = 0, Notes = 1, Bombs = 2, Cribs = 3, LookingSuspicious = 5 };

// The crib sheets, in the order of their rows below.
enum class Sheet { Notes, Cribs, Bombs };

// What moving over a sheet's label does to the notes' icon cycle.
enum class NotesCycle { Hold, Release };

// Examiner states a rate column has a row for: at the desk, leaving, stepping down, patrolling,
// returning (ExaminerWalk::State's numbers).
constexpr std::size_t kExaminerStates = 5;
using RateColumn = std::array<int, kExaminerStates>;

// One crib sheet, everything the exam knows of it in one row: the state, the rates, the screen's
// creation, the hover, the icon cycle and the read-out all read it. Places are design pixels.
struct CribSheet {
    Sheet sheet;
    // The tool that moving onto its picture puts in use.
    Tool tool;
    // The label beside the picture, and the status line while the sheet is in use.
    QStringView caption;
    QStringView status;
    QPoint labelPlace;
    QPoint picturePlace;
    // Whether the label lies above the picture where the two meet (else the picture does).
    bool labelOnTop;
    // Moving over the label marks this sheet in use, without changing the tool, and acts on the
    // notes' icon cycle.
    Sheet labelMarks;
    NotesCycle labelNotesCycle;
    // The icon's frames, %1 = 1..5, as the game names files; the built-in picture until the first.
    QStringView frames;
    // The counter's place among the read-out's counter buttons.
    int readoutSlot;
    // Per examiner state: the suspicion's change per clock tick while the sheet's tool is in use,
    // and what the sheet adds to the copied share per tick while it is in use.
    RateColumn suspicion;
    RateColumn copying;
};

// The rows, in the order the clock cycles their icons; each row's place is its Sheet's number.
constexpr std::array<CribSheet, 3> kCribSheets{{
    {
        .sheet = Sheet::Notes,
        .tool = Tool::Notes,
        .caption = u"Конспект",
        .status = u"Сейчас Вы используете - конспект",
        .labelPlace = {216, 288},
        .picturePlace = {236, 306},
        .labelOnTop = true,
        .labelMarks = Sheet::Cribs,
        .labelNotesCycle = NotesCycle::Release,
        .frames = u"Base\\image\\Ico\\b%1.ico",
        .readoutSlot = 0,
        .suspicion = {4, 5, 5, 10, 4},
        .copying = {1, 1, 0, 0, 2},
    },
    {
        .sheet = Sheet::Cribs,
        .tool = Tool::Cribs,
        .caption = u"Шпоры",
        .status = u"Сейчас Вы используете - шпоры",
        .labelPlace = {128, 256},
        .picturePlace = {140, 274},
        .labelOnTop = false,
        .labelMarks = Sheet::Cribs,
        .labelNotesCycle = NotesCycle::Release,
        .frames = u"Base\\image\\Ico\\b%1.ico",
        .readoutSlot = 2,
        .suspicion = {5, 4, 4, 10, 4},
        .copying = {2, 2, 1, 1, 3},
    },
    {
        .sheet = Sheet::Bombs,
        .tool = Tool::Bombs,
        .caption = u"Бомбы",
        .status = u"Сейчас Вы используете - бомбы",
        .labelPlace = {8, 232},
        .picturePlace = {20, 250},
        .labelOnTop = false,
        .labelMarks = Sheet::Bombs,
        .labelNotesCycle = NotesCycle::Hold,
        .frames = u"Base\\image\\Ico\\b%1.ico",
        .readoutSlot = 1,
        .suspicion = {10, 7, 8, 10, 15},
        .copying = {4, 4, 0, 0, 4},
    },
}};

constexpr std::size_t kSheetCount = kCribSheets.size();

constexpr std::size_t ordinal(Sheet sheet)
{
    return static_cast<std::size_t>(sheet);
}

constexpr const CribSheet &cribSheet(Sheet sheet)
{
    return kCribSheets[ordinal(sheet)];
}

// The sheets, in the rows' order.
constexpr std::array<Sheet, kSheetCount> kSheets = [] {
    std::array<Sheet, kSheetCount> sheets{};
    for (std::size_t i = 0; i < kSheetCount; ++i)
        sheets[i] = kCribSheets[i].sheet;
    return sheets;
}();

static_assert(
    [] {
        for (std::size_t i = 0; i < kSheetCount; ++i)
            if (ordinal(kCribSheets[i].sheet) != i)
                return false;
        return true;
    }(),
    "each row sits at its Sheet's number");
