#pragma once

// Folder menu/: the menu screen and the plain rule beside it (the hover pulse). It tells the music
// owner what happens here and reports the way to the other screens by signals. Includes music/,
// widgets/, toolkit/ and formats/; never another screen or app/.

#include "menu/MenuPulse.h"
#include "toolkit/Screen.h"

#include <array>

class Music;
class Bevel;
class LineEdit;
class FlatButton;
class Gauge;
class PictureBox;
class Label;
class MusicPlayer;
class Panel;
class Timer;
template <class Base>
class Control;
class QImage;
class QLabel;

// The menu, the main screen: the player's name, the loading gauge that starts an exam, the hover
// pulse of its entries, the sound switch and the lordly mode. It tells the music what happens here
// and shows the music player's bar on its hidden panel.
class MenuScreen : public Screen {
    Q_OBJECT
public:
    // What the pointer rests on. Every item but None pulses while it is hovered: an entry itself,
    // the name field through the prompt above it.
    enum class Hover { None, NewGame, Scores, About, Exit, Name };
    Q_ENUM(Hover)

    // The pulse of one item. It is kept when the pointer leaves, so that an item hovered again
    // goes on from the size and direction it had.
    struct Pulse {
        // The widget whose font pulses.
        Control<QLabel> *widget = nullptr;
        MenuPulse::Direction direction = MenuPulse::Direction::Shrinking;
    };

    // The player name that turns the program lordly; compared as a whole, letter case counting.
    static constexpr char16_t kLordlyName[] = u"wenKT";

    explicit MenuScreen(Music &music);
    ~MenuScreen() override;

    // The Enter key, from any screen: shows the hidden panels, then acts as a click on
    // "Новая игра".
    void enterAction();
    // The name in the name field.
    QString playerName() const;
    // Shows the menu coming back from the score list: the hover pulse runs again.
    void returnFromScores();

    Hover hoveredItem() const { return m_hovered; }
    // The pulse of `item`; null for Hover::None.
    Pulse *pulseOf(Hover item);

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
    void onNewGameClicked();
    void onLoadingTick();
    void onHoverTick();
    void onExitClicked();
    void onScoresClicked();
    void onAboutClicked();
    void onSoundSwitchClicked();
    void onNameChanged();
    // The pointer over a bare part of the screen, outside every widget.
    void onBackgroundHovered();
    void onNewGameHovered();
    void onScoresHovered();
    void onAboutHovered();
    void onExitHovered();
    void onNameHovered();
    void onHeadlineHovered();

    // Widgets, in creation order: each lies above those before it.
    Gauge *loadingGauge;
    FlatButton *exitButton;
    FlatButton *newGameButton;
    FlatButton *aboutButton;
    FlatButton *scoresButton;
    // The label above the name field: asks for the name, and pulses for the field.
    Label *namePrompt;
    Bevel *nameFieldFrame;
    Bevel *namePromptFrame;
    Label *headline;
    PictureBox *soundSwitch;
    LineEdit *nameField;
    // Shown by Enter and never hidden again: the music player's bar and its two pieces.
    Panel *hiddenPanel;
    MusicPlayer *musicPlayer;
    FlatButton *menuPieceButton;
    FlatButton *examPieceButton;
    // Fills the loading gauge, one percent a tick.
    Timer *loadingTimer;
    // Pulses the hovered item.
    Timer *hoverTimer;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    using Handler = void (MenuScreen::*)();

    // The layout, by area, in creation order.
    void createLoadingGauge();
    void createEntries();
    FlatButton *createEntry(const QString &caption, int left, int top, Handler clickSlot,
                            Handler hoverSlot);
    void createNamePrompt();
    void createHeadline();
    void createSoundSwitch();
    void createNameField();
    void createHiddenPanel();
    void createTimers();

    // `steps` steps of the hovered item's pulse.
    void pulseHovered(int steps);
    void setHovered(Hover item);
    // Makes `item`'s entry sky blue and the other three entries white, and hovers `item`.
    void highlightEntry(Hover item);
    // The hover timer's ticks change the screen only while the menu is on the screen and an item
    // is hovered; otherwise it lies dormant and does not wake the program. The ticks it missed
    // while the menu was away are caught up on the hovered item before anything they depend on
    // changes, so sizes and directions are those the ticks would have left.
    bool pulseShows() const;
    void catchUpPulse();
    // Catches up, then lets the hover timer sleep or wake as the menu's state asks.
    void updateHoverTimerWake();
    bool isLordlyName() const;
    // Shows `picture` on the sound switch, docked to the right edge as wide as the picture; a null
    // picture leaves its place as it is.
    void setSoundPicture(const QImage &picture);

    Music &m_music;
    Hover m_hovered = Hover::None;
    // The pulses of the items from Hover::NewGame to Hover::Name, in that order.
    std::array<Pulse, 5> m_pulses;
};
