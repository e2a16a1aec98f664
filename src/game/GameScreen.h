#pragma once

// Folder game/: the exam's screen and, beside it, the plain classes of its rules and state (the
// rates, the clock, the icon cycles, the examiner's walk, the result line). It reports the end of
// an exam by a signal. Includes clip/, widgets/, toolkit/ and formats/; never another screen or
// app/.

#include "game/ExamState.h"
#include "game/ExaminerWalk.h"
#include "toolkit/Screen.h"

#include <array>
#include <functional>

class QAction;
class QMenu;
class QShortcut;
class ClipPlayer;
class Bevel;
class FlatButton;
class Gauge;
class PictureBox;
class Label;
class Panel;
class Timer;

// The game screen: the exam. The three gauges hold the time left, the copied share and the
// suspicion; ExamState holds what the pointer and the clock leave behind (the tool, the sheets in
// use, the icon counters), ExaminerWalk the examiner's state and direction. The rules are in
// ExamRates, ExamResult, ExamClock, IconCycle and ExaminerWalk; the handlers here call them in the
// game's order and show what they decide.
class GameScreen : public Screen {
    Q_OBJECT
public:
    GameScreen();
    ~GameScreen() override;

    // The background picture, the clips, the examiner's place and home; right after creation.
    void loadFiles();
    // Starts an exam: full time, nothing copied, no suspicion, the clock running, the screen shown.
    void startExam();
    // Shows the read-out panel.
    void showReadout();
    // The lordly mode: the window takes `title`, the exit button its lordly caption.
    void enterLordlyMode(const QString &title);

    const ExamState &examState() const { return m_exam; }
    const ExaminerWalk &examinerWalk() const { return m_walk; }

signals:
    // The exam ended (finishExam): the share copied, and whether the suspicion caught the student.
    // Each end reports once; two ends in one clock tick report twice.
    void examFinished(int copied, bool caught);
    // "Выход": the program ends.
    void quitRequested();

public slots:
    // The exam clock runs its steps in this order: decideWalk, stepSuspicion, stepCopying,
    // stepTime, cycleIcons, updateReadout. An error ends the tick where it was raised.
    void onClockTick();
    void onWalkTick();

    // Pointer moves: tool selection, the exit hover colour, the read-out.
    void onBackgroundHovered();
    void onAnswerSheetHovered();
    // The pointer on a sheet's picture: that sheet in use, with its tool.
    void onSheetHovered(Sheet sheet);
    // The pointer on a sheet's label: the sheet its row names in use, the tool unchanged.
    void onSheetLabelHovered(Sheet sheet);
    // "Ваш научный шедевр" acts as the label "Шпоры" does.
    void onAnswerSheetLabelHovered();
    void onGaugePanelHovered();
    void onExitHovered();
    void onReadoutHovered();

    // Clicks and menu items.
    void onExitClicked();
    void onReadoutClicked();
    void onSlowClockTriggered();
    void onFastClockTriggered();
    void onShowHiddenTriggered();
    void onSittingClipClicked();
    void onSittingClip2Clicked();
    void onStopClipClicked();

public:
    // The exam clock's steps; each runs at once, inside the caller, and lets errors through.
    void decideWalk();
    void stepSuspicion();
    void stepCopying();
    void stepTime();
    // Each sheet's icon step, in the rows' order.
    void cycleIcons();
    // One icon step for `sheet`: the next frame while the sheet is in use and its cycle runs.
    void cycleIcon(Sheet sheet);
    void updateReadout();
    // Stops the clock and the copybook and reports the result; the tick that ran it goes on.
    void finishExam();
    // F5: the background again from its file, when the file exists.
    void reloadBackground();

    // A crib sheet's label and picture.
    Label *sheetLabel(Sheet sheet) const { return m_sheetLabels[ordinal(sheet)]; }
    PictureBox *sheetPicture(Sheet sheet) const { return m_sheetPictures[ordinal(sheet)]; }

    // Widgets on the screen, in creation order; each sheet's label and picture come after the
    // status line, in the rows' order.
    PictureBox *background;
    // The student's own answer sheet: an invisible area under its label, where the examiner calms.
    PictureBox *answerSheet;
    FlatButton *statusLine;
    Label *answerSheetLabel;
    Panel *gaugePanel;
    Gauge *copiedGauge;
    Gauge *timeGauge;
    Gauge *suspicionGauge;
    Label *copiedCaption;
    Label *timeCaption;
    Label *suspicionCaption;
    FlatButton *exitButton;
    ClipPlayer *examinerClip;
    ClipPlayer *copybookClip;
    Panel *clipPanel;
    FlatButton *sittingClipButton;
    FlatButton *sittingClip2Button;
    FlatButton *goButton;
    FlatButton *stopClipButton;
    ClipPlayer *deskClip;
    Panel *readoutPanel;
    Bevel *readoutFrame;
    // The notes, bombs and cribs counters, then seven that always read 0.
    std::array<FlatButton *, 10> counterReadouts{};
    FlatButton *toolReadout;
    FlatButton *examinerStateReadout;
    FlatButton *directionReadout;

    // Non-visual parts.
    Timer *examClock;
    Timer *walkTimer;
    QMenu *clockMenu;
    // The menu's items from the top: a divider, slow, fast, a divider, show hidden, a divider.
    std::array<QAction *, 3> clockMenuDividers{};
    QAction *slowClockAction;
    QAction *fastClockAction;
    QAction *showHiddenAction;
    QShortcut *reloadKey;

    // The platform's default beep near the end of an exam; tests count it.
    std::function<void()> beep;

private:
    // The constructor's areas, in creation order, which is the stacking order of the windowed ones.
    void createRoom();
    void createGaugePanel();
    void createClips();
    void createClipPanel();
    void createReadoutPanel();
    void createClockMenu();
    void connectHandlers();

    void createSheets();
    // Marks `sheet` in use, the tool unchanged, and steps the notes' cycle, as a label does.
    void markByLabel(Sheet sheet, NotesCycle notesCycle);
    // Loads "base\image\fon.jpg" into the background when the file exists.
    void loadBackground();
    // Gives `clip` the file `gamePath` and starts it, when the file exists.
    void startClipIfExists(ClipPlayer *clip, const QString &gamePath);

    // The walk runs in the layout's pixels on the clips' current places, which it takes before a
    // step; after it the examiner's clip shows his new place scaled, and the walk timer follows.
    void takeClipPlaces();
    void showWalk();

    std::array<Label *, kSheetCount> m_sheetLabels{};
    std::array<PictureBox *, kSheetCount> m_sheetPictures{};
    ExamState m_exam;
    ExaminerWalk m_walk;
};
