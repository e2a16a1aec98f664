#pragma once

// Folder about/: the about screen and its animations' plain rules. Includes toolkit/ only; never
// another screen or app/.

#include "about/AboutMotion.h"
#include "toolkit/Screen.h"

class Bevel;
class Label;
class Panel;
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
    void onBackgroundHovered();
    void onNicknameHovered();
    void onLinkBarHovered();
    void onSiteHovered();
    void onMailHovered();
    void onBackHovered();
    void onSiteClicked();
    void onMailClicked();
    void onBackClicked();
    void onMoveTick();
    void onCaptionTick();

    // The caption cycle's next step, kept from visit to visit.
    int captionStep() const { return m_captionStep; }

    // Widgets, in creation order.
    Bevel *nicknameFrame;
    Label *nickname;
    Panel *linkBar;
    Label *siteLink;
    Label *mailLink;
    Label *backLink;
    Timer *moveTimer;
    Timer *captionTimer;

private:
    // `highlighted` blue (none when null), the other two of the three links money green.
    void highlightLinks(Label *highlighted);
    void startAnimations();

    // The nickname's bounce: where the motion last put it, in the layout's pixels, and its two
    // directions. All of it, and the caption step, is kept for the next visit.
    QPoint m_nicknamePlace;
    AboutMotion::Horizontal m_horizontal = AboutMotion::Horizontal::Right;
    AboutMotion::Vertical m_vertical = AboutMotion::Vertical::Down;
    int m_captionStep = 0;
};
