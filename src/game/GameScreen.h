#pragma once

#include "toolkit/ActionList.h"
#include "toolkit/Screen.h"

#include <array>
#include <functional>

class ExaminerWalk;
class QAction;
class QMenu;
class QShortcut;
class TAnimate;
class TBevel;
class TFlatButton;
class TGauge;
class TImage;
class TLabel;
class TPanel;
class Timer;

// The game screen: the exam. Its state lives in its widgets: the gauges, the tags of the sheets
// (in-use flags), of `free` (tool in use) and of the read-out buttons on `bfg` (icon counters,
// examiner state, patrol direction). The rules are in ExamRates, ExamResult, ExamClock,
// IconCycle and ExaminerWalk; the handlers here read the widgets, call the rules in the game's
// order and write the widgets back.
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

signals:
    // The exam ended (`winExecute`): the share copied, and whether the suspicion caught the student.
    // Each end reports once; two ends in one clock tick report twice.
    void examFinished(int copied, bool caught);
    // "Выход": the program ends.
    void quitRequested();

public:
    // Exam clock and walk timer.
    void timetTimer();
    void xxxTimer();

    // Actions of `al1` and `pemik`.
    void winExecute();
    void timeaExecute();
    void refreshExecute();
    void SPXExecute();
    void RPXExecute();
    void konExecute();
    void spoExecute();
    void bomExecute();
    void Tag_PanelExecute();
    void Pemil_GowingExecute();
    void Pem_LeftExecute();
    void Pem_TopExecute();
    void Pem_GoExecute();
    void Pem_ReturnExecute();

    // Pointer moves: tool selection, the exit hover colour, the read-out.
    void fonMouseMove();
    void freeMouseMove();
    void q1MouseMove();
    void q2MouseMove();
    void q3MouseMove();
    void BombaLMouseMove();
    void SporaLMouseMove();
    void Panel1MouseMove();
    void exitMouseMove();
    void bfgMouseMove();

    // Clicks.
    void exitClick();
    void bfgClick();
    void N1Click();
    void kvik1Click();
    void ppuuClick();
    void f1Click();
    void f2Click();
    void afClick();

    // Runs the named action of `al1` or `pemik`; a name that neither holds throws std::logic_error.
    void execute(const QString &action) const;

    // Widgets on the screen, in creation order.
    TImage *fon;
    TLabel *BombaL;
    TLabel *SporaL;
    TImage *free;
    TImage *q1;
    TFlatButton *info;
    TImage *q3;
    TImage *q2;
    TLabel *KonspektL;
    TLabel *shedevr;
    TPanel *Panel1;
    TGauge *process;
    TGauge *time;
    TGauge *zopa;
    TLabel *Label1;
    TLabel *Label2;
    TLabel *Label3;
    TFlatButton *exit;
    TAnimate *pema;
    TAnimate *cba;
    TPanel *ppp;
    TFlatButton *f1;
    TFlatButton *f2;
    TFlatButton *gopem;
    TFlatButton *af;
    TAnimate *table;
    TPanel *bfg;
    TBevel *Bevel1;
    TFlatButton *zok;
    TFlatButton *zok1;
    TFlatButton *zok2;
    TFlatButton *zok3;
    TFlatButton *zok4;
    TFlatButton *zok5;
    TFlatButton *zok6;
    TFlatButton *zok7;
    TFlatButton *zok8;
    TFlatButton *zok9;
    TFlatButton *free_vis;
    TFlatButton *PemX;
    TFlatButton *Pem_LR;

    // Non-visual parts.
    Timer *timet;
    Timer *xxx;
    ActionList al1;
    ActionList pemik;
    QMenu *PopupMenu1;
    QAction *N2;
    QAction *N1;
    QAction *kvik1;
    QAction *N3;
    QAction *ppuu;
    QAction *N4;
    QShortcut *refreshKey;

    // The examiner's seat: where creation placed `pema`, in the layout's pixels.
    int home_left = 0;
    int home_top = 0;

    // The platform's default beep near the end of an exam; tests count it.
    std::function<void()> beep;

private:
    // One icon step for the sheet `sheet` whose frame counter is the tag of `counter`.
    void cycleIcon(TImage *sheet, TFlatButton *counter);
    // Loads "base\image\fon.jpg" into `fon` when the file exists.
    void loadBackground();
    // Gives `clip` the file `gamePath` and starts it, when the file exists.
    void startClipIfExists(TAnimate *clip, const QString &gamePath);

    // The walk runs in the layout's pixels; `pema` shows them scaled.
    ExaminerWalk walk() const;
    void apply(const ExaminerWalk &walk);

    // The action of `al1` or `pemik` called `name`; throws std::logic_error when there is none.
    const Action &action(const QString &name) const;

    // The actions that the screen's own code runs, resolved from their names once, when the screen
    // is built: a misspelt or dropped name stops the building instead of being skipped at every run.
    // The exam clock's steps, in their order.
    std::array<const Action *, 8> m_clockSteps{};
    // The walk timer's steps, in their order.
    std::array<const Action *, 4> m_walkSteps{};
    const Action *m_win = nullptr;
    const Action *m_refresh = nullptr;
    const Action *m_tagPanel = nullptr;
    // Where the walk last put the examiner, in the layout's pixels.
    QPoint m_examinerPlace;
};
