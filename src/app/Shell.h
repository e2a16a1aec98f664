#pragma once

// Folder app/: the program's entry and the wiring. The one place that knows every screen: it
// creates them, owns the music, and connects what each screen reports to what follows, so that it
// reads as the table of screen switches. Nothing below includes it.

#include "music/Music.h"

#include <QObject>

class AboutScreen;
class EnterKeyRouter;
class GameScreen;
class MenuScreen;
class ScoreScreen;

// The four screens, created once, and the hand-overs between them.
class Shell : public QObject {
    Q_OBJECT
public:
    enum class Start {
        // Every screen is created before the constructor returns (tests rely on it).
        AllAtOnce,
        // The program's start: the menu's music starts and the game, score and about screens are
        // created right after the menu's first paint (or before the first click or key that comes
        // sooner), so that the menu shows without waiting for them nor for the sound library,
        // which loads beside the paint on another thread but would slow it down. The player sees
        // and hears the same (the music cannot sound before the library has opened the sound
        // output, tens of milliseconds later); an error box raised meanwhile opens over the menu.
        MenuFirst
    };

    // Creates the menu, starts its music, creates the other screens in the order game, score,
    // about (the game loads its background and clips, the score screen reads the score file),
    // routes Enter from every screen to the menu and shows the menu, the main screen. The others
    // stay hidden.
    explicit Shell(Start start);
    // Destroys the screens (the end of the process, and between tests).
    ~Shell() override;

    MenuScreen *menu() const { return m_menu; }
    GameScreen *game() const { return m_game; }
    ScoreScreen *scores() const { return m_scores; }
    AboutScreen *about() const { return m_about; }
    Music &music() { return m_music; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    // The switches between the screens, one a signal.
    void showScores();
    void showAbout();
    void startExam();
    void enterLordlyMode();
    void showResult(int copied, bool caught);
    void backFromScores();
    void backFromAbout();

private:
    void createMenu();
    // Starts the music and creates the other screens, once.
    void createRest();
    void connectMenu();
    void connectRest();

    Music m_music;
    MenuScreen *m_menu = nullptr;
    GameScreen *m_game = nullptr;
    ScoreScreen *m_scores = nullptr;
    AboutScreen *m_about = nullptr;
    EnterKeyRouter *m_enterRouter = nullptr;
    // The menu's first paint has queued the rest of the start-up.
    bool m_restQueued = false;
};
