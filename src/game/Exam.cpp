#include "game/Exam.h"

#include "game/ExamClock.h"
#include "game/ExamRates.h"

#include <algorithm>
#include <array>

namespace {

// The bounds of every figure, those of the gauges that show them.
constexpr int kLowest = 0;
constexpr int kHighest = 100;

const QString kStatusSuspicious =
    QStringLiteral("Сейчас Вы ни чего не используете, но как-то подозрительно выглядите!");
const QString kStatusNothing = QStringLiteral("Сейчас Вы ни чего не используете");

// The sheet that the label "Ваш научный шедевр" marks in use, as the label "Шпоры" does.
constexpr Sheet kAnswerLabelMarks = Sheet::Cribs;

// The exam clock's steps, in their order.
constexpr std::array kClockSteps{
    &Exam::decideWalk, &Exam::stepSuspicion, &Exam::stepCopying, &Exam::stepTime, &Exam::cycleIcons,
};

} // namespace

Exam::Exam(QObject *parent) : QObject(parent) {}

void Exam::setFigure(int &figure, int value, void (Exam::*changed)(int))
{
    value = std::clamp(value, kLowest, kHighest);
    if (value == figure)
        return;
    figure = value;
    emit(this->*changed)(value);
}

void Exam::setTimeLeft(int value)
{
    setFigure(m_timeLeft, value, &Exam::timeLeftChanged);
}

void Exam::setCopied(int value)
{
    setFigure(m_copied, value, &Exam::copiedChanged);
}

void Exam::setSuspicion(int value)
{
    setFigure(m_suspicion, value, &Exam::suspicionChanged);
}

void Exam::start()
{
    setCopied(0);
    setTimeLeft(kFullTime);
    setSuspicion(0);
    m_running = true;
    emit runningChanged(true);
}

// A tick that ends the exam goes on after it.
void Exam::finish()
{
    m_running = false;
    emit runningChanged(false);
    emit copybookPlaying(false);
    emit finished(m_copied, m_suspicion == kHighest);
}

// ---- The pointer ----

void Exam::hoverBackground()
{
    emit statusChanged(kStatusSuspicious);
    m_state.clearSheets();
    m_state.tool = Tool::LookingSuspicious;
    emit labelsDimmed();
}

void Exam::hoverAnswerSheet()
{
    emit statusChanged(kStatusNothing);
    m_state.clearSheets();
    m_state.tool = Tool::Nothing;
    emit answerSheetLabelLit();
}

void Exam::hoverSheet(Sheet sheet)
{
    const CribSheet &row = cribSheet(sheet);
    emit statusChanged(row.status.toString());
    m_state.markInUse(sheet);
    m_state.tool = row.tool;
    emit sheetLabelLit(sheet);
}

void Exam::markByLabel(Sheet sheet, NotesCycle notesCycle)
{
    emit statusChanged(cribSheet(sheet).status.toString());
    m_state.markInUse(sheet);
    if (notesCycle == NotesCycle::Hold)
        m_state.icon(Sheet::Notes).hold();
    else
        m_state.icon(Sheet::Notes).release();
}

void Exam::hoverSheetLabel(Sheet sheet)
{
    const CribSheet &row = cribSheet(sheet);
    markByLabel(row.labelMarks, row.labelNotesCycle);
}

void Exam::hoverAnswerSheetLabel()
{
    markByLabel(kAnswerLabelMarks, NotesCycle::Release);
}

// ---- The exam clock ----

void Exam::tick()
{
    for (const auto step : kClockSteps)
        (this->*step)();
    emit ticked();
}

void Exam::decideWalk()
{
    m_walk.decide(m_suspicion);
    emit walkingChanged(m_walk.walking);
}

void Exam::stepSuspicion()
{
    if (m_suspicion == kHighest)
        finish();
    setSuspicion(m_suspicion + ExamRates::suspicionChange(m_walk.state, m_state.tool));
}

void Exam::stepCopying()
{
    if (m_copied == kHighest)
        finish();
    emit copybookPlaying(m_state.anySheetInUse());
    int gain = 0;
    for (Sheet sheet : kSheets)
        if (m_state.sheetInUse(sheet))
            gain += ExamRates::copyGain(m_walk.state, sheet);
    setCopied(m_copied + gain);
}

void Exam::stepTime()
{
    const int p = m_timeLeft;
    if (ExamClock::beeps(p))
        emit beeped();
    if (const std::optional<QColor> colour = ExamClock::barColour(p))
        emit timeColourChanged(*colour);
    if (p == kLowest)
        finish();
    setTimeLeft(p - 1);
}

void Exam::cycleIcons()
{
    for (Sheet sheet : kSheets)
        cycleIcon(sheet);
}

void Exam::cycleIcon(Sheet sheet)
{
    if (!m_state.sheetInUse(sheet))
        return;
    if (const std::optional<int> frame = m_state.icon(sheet).advance())
        emit iconFrame(sheet, *frame);
}

// ---- The examiner's walk ----

void Exam::seatExaminer(const QRect &examiner)
{
    m_walk.examiner = examiner;
    m_walk.home = examiner.topLeft();
}

void Exam::walkTick(const QRect &examiner, const QRect &desk)
{
    m_walk.examiner = examiner;
    m_walk.desk = desk;
    m_walk.walkTick();
    emit examinerMoved(m_walk.examiner.topLeft());
    emit walkingChanged(m_walk.walking);
}
