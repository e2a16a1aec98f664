#pragma once

#include "toolkit/ActionList.h"
#include "toolkit/Screen.h"

#include <functional>
#include <memory>

class MusicBackend;
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
// pulse of its entries, all music of the program and the lordly mode.
class Tmenuf : public Screen {
    Q_OBJECT
public:
    // The player name that turns the program lordly; compared as a whole, letter case counting.
    static constexpr char16_t kLordlyName[] = u"wenKT";

    // Where the music player's back-end comes from: when set, every menu created afterwards plays
    // through what it returns instead of the sound library. Empty in the game; tests set a fake.
    static std::function<std::unique_ptr<MusicBackend>()> musicBackendFactory;

    Tmenuf();
    ~Tmenuf() override;

    // Creation handler: starts the menu music.
    void FormCreate();

    // The Enter key, from any screen.
    void enterAction() const;

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
    void a1Click();
    void a2Click();
    void mp1Notify();
    void tatTimer();
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
    Timer *tat;
    Timer *deamon;
    ActionList ActionList1;

private:
    // The hovered entry's pulse, acting only when `item` is the hovered item.
    void pulse(int item, Control<QLabel> *widget);
    // Sets the hovered item and makes `highlighted` sky blue, the other three entries white.
    void highlightEntry(int item, TFlatButton *highlighted);
    // Opens and plays `gamePath` when it exists; returns whether it did.
    bool playIfExists(const QString &gamePath);
    void playSingle(const QString &gamePath);
    bool isLordlyName() const;
    // Shows `picture` on the sound switch, which stays docked to the right edge.
    void setSoundPicture(const QImage &picture);
};
