#pragma once

#include "toolkit/Screen.h"

class TBevel;
class TLabel;
class TPanel;
class Timer;

// The about screen: the author's credit. The nickname drifts inside a frame and spells out a short
// sentence once the pointer has touched it or the way back; the bottom bar links to the author's
// site and mail and leads back to the menu.
class AboutScreen : public Screen {
    Q_OBJECT
public:
    AboutScreen();
    ~AboutScreen() override;

signals:
    // "Назад": the animations have stopped.
    void backRequested();

public:
    // Handlers.
    void FormMouseMove();
    void rodMouseMove();
    void Panel1MouseMove();
    void siteMouseMove();
    void mailMouseMove();
    void backMouseMove();
    void siteClick();
    void mailClick();
    void backClick();
    void mtTimer();
    void mxTimer();

    // Widgets, in creation order.
    TBevel *p;
    TLabel *rod;
    TPanel *Panel1;
    TLabel *site;
    TLabel *mail;
    TLabel *back;
    Timer *mt;
    Timer *mx;

private:
    // Where the motion last put `rod`, in the layout's pixels.
    QPoint m_rodPlace;
    // `highlighted` blue (none when null), the other two of site, mail and back money green.
    void highlightLinks(TLabel *highlighted);
    void startAnimations();
};
