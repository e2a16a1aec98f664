#pragma once

#include "toolkit/ActionList.h"
#include "toolkit/Screen.h"

#include <array>
#include <functional>
#include <memory>

class Music;
class TBevel;
class TEdit;
class TFlatButton;
class TGauge;
class TImage;
class TLabel;
class TMediaPlayer;
class TPanel;
class Timer;
template <class Base> class Control;
class QImage;
class QLabel;

// The menu, the main screen: the player's name, the loading gauge that starts an exam, the hover
// pulse of its entries, the sound switch and the lordly mode. It tells the music what happens here
// and shows the music player's bar on its hidden panel.
class MenuScreen : public Screen {
    Q_OBJECT
public:
    // The player name that turns the program lordly; compared as a whole, letter case counting.
    static constexpr char16_t kLordlyName[] = u"wenKT";

    explicit MenuScreen(Music &music);
    ~MenuScreen() override;

    // The Enter key, from any screen.
    void enterAction() const;
    // The name in the name field.
    QString playerName() const;
    // Shows the menu coming back from the score list: the hover pulse runs again.
    void returnFromScores();

signals:
    // The loading gauge is full: the exam begins.
    void examStarted();
    void scoresRequested();
    void aboutRequested();
    // Enter shows the hidden panels of every screen.
    void hiddenPanelsRequested();
    // The name became the lordly name; the menu has taken its lordly captions.
    void lordlyModeEntered();
    // The menu was closed, or its "Выход" clicked: the program ends.
    void quitRequested();

public:

    // Handlers.
    void NewGameClick();
    void txTimer();
    void enterExecute();
    void deamonTimer();
    void ExitClick();
    void scoreClick();
    void ObClick();
    void FormMouseMove();
    void NewGameMouseMove();
    void scoreMouseMove();
    void ObMouseMove();
    void ExitMouseMove();
    void nameMouseMove();
    void nextMouseMove();
    void nameChange();
    void nsClick();

    // Widgets, in creation order.
    TGauge *gx;
    TFlatButton *Exit;
    TFlatButton *NewGame;
    TFlatButton *Ob;
    TFlatButton *score;
    TLabel *xl;
    TBevel *Bevel1;
    TBevel *Bevel2;
    TLabel *next;
    TImage *ns;
    TEdit *name;
    TPanel *xpan;
    TMediaPlayer *mp1;
    TFlatButton *a1;
    TFlatButton *a2;
    Timer *tx;
    Timer *deamon;
    ActionList ActionList1;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    // The widget that pulses while `item` is hovered: an entry, or the label above the name field.
    Control<QLabel> *pulsed(int item) const;
    // `steps` steps of the hovered item's pulse, acting only when `item` is the hovered item.
    void pulse(int item, int steps = 1);
    // Sets the hovered item (the tag of `deamon`).
    void setHovered(int item);
    // Makes `highlighted` sky blue and the other three entries white, and hovers `item`.
    void highlightEntry(int item, TFlatButton *highlighted);
    // The hover timer's ticks change the screen only while the menu is on the screen and an item
    // is hovered; otherwise it lies dormant and does not wake the program. The ticks it missed
    // while the menu was away are caught up on the hovered item before anything they depend on
    // changes, so sizes and directions are those the ticks would have left.
    bool pulseShows() const;
    void catchUpPulse();
    // Catches up, then lets the hover timer sleep or wake as the menu's state asks.
    void updateDeamonWake();
    bool isLordlyName() const;
    // Shows `picture` on the sound switch, docked to the right edge as wide as the picture; a null
    // picture leaves its place as it is.
    void setSoundPicture(const QImage &picture);

    Music &m_music;
    // Actions that the screen's own code runs, resolved from their names when the screen is built,
    // so that a misspelt or dropped name stops the building instead of being skipped.
    const Action *m_enter = nullptr;
    // The hover timer's steps, in their order.
    std::array<const Action *, 5> m_pulseSteps{};
};
