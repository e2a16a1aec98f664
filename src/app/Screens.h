#pragma once

class MenuScreen;
class GameScreen;
class ScoreScreen;
class AboutScreen;

// The four screens, each created once at start-up and reachable from every screen: the screens act
// on each other's widgets directly through these references.
extern MenuScreen *menuf;
extern GameScreen *gamef;
extern ScoreScreen *scoref;
extern AboutScreen *aboutf;

namespace Screens {

// Creates the screens in the order menu, game, score, about (each creation runs the screen's own
// set-up: music, background and clips, the score file), routes Enter to the menu's action `enter`
// and shows the menu, the main screen. The others stay hidden. Everything is created before it
// returns (tests rely on it).
void createAll();

// The program's start: the same as createAll(), except that the game, score and about screens are
// created in that order right after the menu's first paint (or before the first click or key that
// comes sooner), so that the menu shows without waiting for them. The player sees the same; an
// error box raised by their creation opens over the menu.
void startUp();

// Destroys the screens (the end of the process, and between tests).
void destroyAll();

} // namespace Screens
