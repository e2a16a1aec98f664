#include "about/AboutScreen.h"

#include "toolkit/Bevel.h"
#include "toolkit/Colors.h"
#include "toolkit/FlatButton.h"
#include "toolkit/Guard.h"
#include "toolkit/Label.h"
#include "toolkit/Panel.h"
#include "toolkit/Scaling.h"
#include "toolkit/Timer.h"

#include <QDesktopServices>
#include <QUrl>

namespace {

using namespace Colors;
using Scaling::place;

// The author's web site, the host name that the site link shows, and the mail address. The two
// captions together leave "Назад" room for its 40 px letters.
const QString kSiteUrl = QStringLiteral("https://rodvk.example");
const QString kSiteHost = QStringLiteral("rodvk.example");
const QString kMailAddress = QStringLiteral("rodvk@example.org");

// Timer intervals at creation: the nickname moves as fast as the toolkit allows, the caption
// cycle starts with its fast part.
constexpr int kMoveMs = 1;
constexpr int kCaptionMs = 100;

// A label of the bottom bar: centred text in money green under a hand pointer, as wide as its
// caption, full height.
Label *barLabel(Panel *bar, const QString &caption, int fontPx)
{
    auto *label = place(new Label(bar, caption), 0, 0, 0, 51);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setFont(Scaling::font(fontPx, true));
    label->setFontColor(kMoneyGreen);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

} // namespace

AboutScreen::AboutScreen()
    : Screen(QStringLiteral("О авторе... Программа \"PEMy\" v 1.0.0.1 alpha"), 613, 235,
             Frame::None, Qt::black)
{
    setFont(Scaling::font(13));

    nicknameFrame = place(new Bevel(this), 0, 0, 613, 177);

    nickname = place(new Label(this, QStringLiteral("rodVK")), 488, 8, 108, 37);
    nickname->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    nickname->setFont(Scaling::font(33, true));
    nickname->setFontColor(kYellow);
    nickname->setBackground(Qt::black);
    // The caption cycle widens and narrows it to the right; its left edge and height stay.
    nickname->setAutoSize(true);

    linkBar = place(new Panel(this, kDesktop, false), 0, 184, 613, 51);

    siteLink = barLabel(linkBar, QStringLiteral("Site: ") + kSiteHost, 17);
    siteLink->setAutoSize(true);
    mailLink = barLabel(linkBar, QStringLiteral("Mail: ") + kMailAddress, 17);
    mailLink->setAutoSize(true);
    mailLink->move(linkBar->width() - mailLink->width(), 0);
    backLink = barLabel(linkBar, QStringLiteral("Назад"), 40);
    backLink->setGeometry(siteLink->width(), 0, mailLink->x() - siteLink->width(),
                          linkBar->height());

    moveTimer = new Timer(kMoveMs, false, this);
    captionTimer = new Timer(kCaptionMs, false, this);

    connectGuarded(pointer(), &Pointer::hovered, this, &AboutScreen::onBackgroundHovered);
    connectGuarded(nickname->pointer(), &Pointer::hovered, this, &AboutScreen::onNicknameHovered);
    connectGuarded(linkBar->pointer(), &Pointer::hovered, this, &AboutScreen::onLinkBarHovered);
    connectGuarded(siteLink->pointer(), &Pointer::hovered, this, &AboutScreen::onSiteHovered);
    connectGuarded(mailLink->pointer(), &Pointer::hovered, this, &AboutScreen::onMailHovered);
    connectGuarded(backLink->pointer(), &Pointer::hovered, this, &AboutScreen::onBackHovered);
    connectGuarded(siteLink->pointer(), &Pointer::clicked, this, &AboutScreen::onSiteClicked);
    connectGuarded(mailLink->pointer(), &Pointer::clicked, this, &AboutScreen::onMailClicked);
    connectGuarded(backLink->pointer(), &Pointer::clicked, this, &AboutScreen::onBackClicked);
    connectGuarded(moveTimer, &Timer::timeout, this, &AboutScreen::onMoveTick);
    connectGuarded(captionTimer, &Timer::timeout, this, &AboutScreen::onCaptionTick);
}

AboutScreen::~AboutScreen() = default;

// ---- Pointer ----

void AboutScreen::highlightLinks(Label *highlighted)
{
    for (Label *label : {siteLink, mailLink, backLink})
        label->setFontColor(label == highlighted ? kBlue : kMoneyGreen);
}

// Enabling a running timer keeps its phase, so pointer moves only ever start the animations.
void AboutScreen::startAnimations()
{
    moveTimer->setEnabled(true);
    captionTimer->setEnabled(true);
}

void AboutScreen::onBackgroundHovered()
{
    highlightLinks(nullptr);
}
void AboutScreen::onLinkBarHovered()
{
    highlightLinks(nullptr);
}
void AboutScreen::onSiteHovered()
{
    highlightLinks(siteLink);
}
void AboutScreen::onMailHovered()
{
    highlightLinks(mailLink);
}
void AboutScreen::onNicknameHovered()
{
    startAnimations();
}

// Leaves the links as they are: coming straight from a link, both stay blue.
void AboutScreen::onBackHovered()
{
    backLink->setFontColor(kBlue);
    startAnimations();
}

// ---- Links ----

// The shell's answer is not looked at: without a browser or a mail program nothing happens.
void AboutScreen::onSiteClicked()
{
    QDesktopServices::openUrl(QUrl(kSiteUrl));
}

void AboutScreen::onMailClicked()
{
    QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + kMailAddress));
}

// ---- Back to the menu ----

// The about piece plays on to its end; the nickname keeps its place, caption and step for the
// next visit.
void AboutScreen::onBackClicked()
{
    moveTimer->setEnabled(false);
    captionTimer->setEnabled(false);
    emit backRequested();
}

// ---- Animations ----

// The limits are taken anew at every tick: the caption cycle changes the label's width.
void AboutScreen::onMoveTick()
{
    if (!isVisible())
        return;
    // The motion runs in the layout's pixels; the label shows them scaled.
    const QPoint at = Scaling::designPoint(nickname->pos(), m_nicknamePlace);
    int left = at.x();
    int top = at.y();
    const QRect bevel = Scaling::designRect(nicknameFrame->geometry());
    const QRect label = Scaling::designRect(nickname->geometry());
    AboutMotion::bounce(left, top, m_horizontal, m_vertical, bevel.width() - label.width(),
                        bevel.height() - label.height());
    m_nicknamePlace = QPoint(left, top);
    nickname->move(Scaling::point(m_nicknamePlace));
}

void AboutScreen::onCaptionTick()
{
    if (!isVisible())
        return;
    const std::optional<AboutMotion::CaptionStep> step = AboutMotion::captionStep(m_captionStep);
    if (!step)
        return;
    nickname->setCaption(step->caption);
    m_captionStep = step->next;
    if (step->interval != 0)
        captionTimer->setInterval(step->interval);
}
