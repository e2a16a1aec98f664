#pragma once

// Folder game/: the exam's screen and, beside it, the exam itself (Exam, which knows no widget)
// with the plain classes of its rules (the rates, the clock, the icon cycles, the examiner's walk,
// the result line). It reports the end of an exam by a signal. Includes clip/, widgets/, toolkit/
// and formats/; never another screen or app/. Exam and its rules include no widget.

#include "game/Exam.h"
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

// The game screen: the exam as the player sees it. Exam holds the exam and decides; the screen
// forwards the pointer's moves and the clocks' ticks to it and binds its gauges, status line,
// labels, icons and clips to what it emits.
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

    Exam &exam() { return m_exam; }

signals:
    // The exam ended (Exam::finished): the share copied, and whether the suspicion caught the
    // student. Each end reports once; two ends in one clock tick report twice.
    void examFinished(int copied, bool caught);
    // "Выход": the program ends.
    void quitRequested();

public slots:
    void onWalkTick();

    // Pointer moves beyond the exam's own: the exit hover colour, the read-out.
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

    // What the exam emits, shown.
    void showIconFrame(Sheet sheet, int frame);
    void showExaminerAt(const QPoint &topLeft);
    void lightSheetLabel(Sheet sheet);
    void lightAnswerSheetLabel();
    void dimLabels();
    void onBeeped();
    void updateReadout();

public:
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
    void liftStatusLine();
    void createClips();
    void createClipPanel();
    void createReadoutPanel();
    void createClockMenu();
    void connectHandlers();
    void bindExam();

    void createSheets();
    // Loads "base\image\fon.jpg" into the background when the file exists.
    void loadBackground();
    // Gives `clip` the file `gamePath` and starts it, when the file exists.
    void startClipIfExists(ClipPlayer *clip, const QString &gamePath);

    std::array<Label *, kSheetCount> m_sheetLabels{};
    std::array<PictureBox *, kSheetCount> m_sheetPictures{};
    Exam m_exam;
};
