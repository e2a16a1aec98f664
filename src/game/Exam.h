#pragma once

#include "game/ExamState.h"
#include "game/ExaminerWalk.h"

#include <QColor>
#include <QObject>
#include <QString>

// One exam as the game plays it, without a window: the three figures (the time left, the copied
// share, the suspicion), the tool and the sheets in use with their icon cycles, the examiner's
// walk, the clock's steps in their order and the end. It takes what the player and the clocks do
// (a control hovered, a clock tick, a walk tick, a new exam) and emits what changed; the game
// screen shows it and decides nothing of its own.
//
// Each figure lies in 0..100: a value written beyond a bound is clamped to it, and a figure that
// does not change emits nothing. Between exams only the figures are reset (start()); the tool,
// the sheets in use, the icon counters and the examiner carry over, and so does the time bar's
// colour, which only the time step changes.
//
// The signals are meant for direct connections: what a slot raises ends the intent or the tick
// where it was raised, and the steps after it do not run.
class Exam : public QObject {
    Q_OBJECT
public:
    static constexpr int kFullTime = 100;

    explicit Exam(QObject *parent = nullptr);

    int timeLeft() const { return m_timeLeft; }
    int copied() const { return m_copied; }
    int suspicion() const { return m_suspicion; }
    // Each clamped into 0..100; a change is emitted.
    void setTimeLeft(int value);
    void setCopied(int value);
    void setSuspicion(int value);

    const ExamState &state() const { return m_state; }
    const ExaminerWalk &walk() const { return m_walk; }
    // Whether the exam clock should run: from start() until the exam ends.
    bool running() const { return m_running; }

    // A new exam: full time, nothing copied, no suspicion, the clock running. An exam that runs
    // is begun again under its running clock and leaves no result.
    void start();

    // The pointer's intents. The background: nothing in use, looking suspicious. The answer sheet:
    // nothing in use. A sheet's picture: that sheet in use with its tool. A sheet's label: the
    // sheet its row names in use, the tool unchanged, and the notes' icon cycle held or released;
    // "Ваш научный шедевр" acts as the label "Шпоры" does.
    void hoverBackground();
    void hoverAnswerSheet();
    void hoverSheet(Sheet sheet);
    void hoverSheetLabel(Sheet sheet);
    void hoverAnswerSheetLabel();

    // Ends the exam: the clock and the copybook stop, and finished() reports the result.
    void finish();

    // One exam-clock tick: decideWalk, stepSuspicion, stepCopying, stepTime, cycleIcons, then
    // ticked(). A step that finds its end ends the exam inside the tick, which goes on.
    void tick();
    void decideWalk();
    void stepSuspicion();
    void stepCopying();
    void stepTime();
    // Each sheet's icon step, in the rows' order.
    void cycleIcons();
    // One icon step: the next frame while `sheet` is in use and its cycle runs.
    void cycleIcon(Sheet sheet);

    // The examiner seated at `examiner`, which becomes his home (the screen's set-up).
    void seatExaminer(const QRect &examiner);
    // One walk tick from the examiner's and the desk's current places, in the layout's pixels.
    void walkTick(const QRect &examiner, const QRect &desk);

signals:
    void timeLeftChanged(int timeLeft);
    void copiedChanged(int copied);
    void suspicionChanged(int suspicion);
    // The time step's bar colour; only when a band applies.
    void timeColourChanged(const QColor &colour);
    // The last ticks of an exam, the ending one included.
    void beeped();
    void runningChanged(bool running);
    // What the status line says the student is using.
    void statusChanged(const QString &status);
    // The labels' highlight: a sheet's label or "Ваш научный шедевр" lit, or every label dimmed.
    void sheetLabelLit(Sheet sheet);
    void answerSheetLabelLit();
    void labelsDimmed();
    // Every copying step: whether the copybook plays (a sheet in use); the end stops it.
    void copybookPlaying(bool playing);
    // The icon of `sheet` shows `frame` (1..5).
    void iconFrame(Sheet sheet, int frame);
    void walkingChanged(bool walking);
    void examinerMoved(const QPoint &topLeft);
    // The tick's steps are done; the read-out follows.
    void ticked();
    // The exam ended: the share copied, and whether the suspicion stood at 100. Each end reports
    // once; two ends in one tick report twice.
    void finished(int copied, bool caught);

private:
    void setFigure(int &figure, int value, void (Exam::*changed)(int));
    void markByLabel(Sheet sheet, NotesCycle notesCycle);

    int m_timeLeft = kFullTime;
    int m_copied = 0;
    int m_suspicion = 0;
    bool m_running = false;
    ExamState m_state;
    ExaminerWalk m_walk;
};
