#pragma once

class Tmenuf;
class Tgamef;
class Tscoref;
class Taboutf;

// The four screens, each created once at start-up and reachable from every screen: the screens act
// on each other's widgets directly through these references.
extern Tmenuf *menuf;
extern Tgamef *gamef;
extern Tscoref *scoref;
extern Taboutf *aboutf;

namespace Screens {

// Creates the screens in the order menu, game, score, about (each creation runs the screen's own
// set-up: music, background and clips, the score file), routes Enter to the menu's action `enter`
// and shows the menu, the main screen. The others stay hidden.
void createAll();

// Destroys the screens (the end of the process, and between tests).
void destroyAll();

} // namespace Screens
