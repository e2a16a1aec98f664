#include "about/AboutScreen.h"

#include "about/AboutMotion.h"
#include "toolkit/Colors.h"
#include "toolkit/Scaling.h"
#include "toolkit/TBevel.h"
#include "toolkit/TFlatButton.h"
#include "toolkit/TLabel.h"
#include "toolkit/TPanel.h"
#include "toolkit/Timer.h"

#include <QDesktopServices>
#include <QUrl>

namespace {

using namespace Colors;
using Scaling::place;

// The author's web site, the host name that `site` shows, and the mail address. The two captions
// together leave "Назад" room for its 40 px letters.
const QString kSiteUrl = QStringLiteral("https://rodvk.example");
const QString kSiteHost = QStringLiteral("rodvk.example");
const QString kMailAddress = QStringLiteral("rodvk@example.org");

// Timer intervals at creation: the nickname moves as fast as the toolkit allows, the caption
// cycle starts with its fast part.
constexpr int kMoveMs = 1;
constexpr int kCaptionMs = 100;


// A label of the bottom bar: centred text in money green under a hand pointer, as wide as its
// caption, full height.
TLabel *barLabel(TPanel *bar, const QString &caption, int fontPx)
{
    auto *label = place(new TLabel(bar, caption), 0, 0, 0, 51);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setFont(Scaling::font(fontPx, true));
    label->setFontColor(kMoneyGreen);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

} // namespace

AboutScreen::AboutScreen()
    : Screen(QStringLiteral("О авторе... Программа \"PEMy\" v 1.0.0.1 alpha"), 613, 235, Frame::None,
             Qt::black)
{
    setFont(Scaling::font(13));

    p = place(new TBevel(this), 0, 0, 613, 177);

    rod = place(new TLabel(this, QStringLiteral("rodVK")), 488, 8, 108, 37);
    rod->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    rod->setFont(Scaling::font(33, true));
    rod->setFontColor(kYellow);
    rod->setBackground(Qt::black);
    // The caption cycle widens and narrows it to the right; its left edge and height stay.
    rod->setAutoSize(true);

    Panel1 = place(new TPanel(this, kDesktop, false), 0, 184, 613, 51);

    site = barLabel(Panel1, QStringLiteral("Site: ") + kSiteHost, 17);
    site->setAutoSize(true);
    mail = barLabel(Panel1, QStringLiteral("Mail: ") + kMailAddress, 17);
    mail->setAutoSize(true);
    mail->move(Panel1->width() - mail->width(), 0);
    back = barLabel(Panel1, QStringLiteral("Назад"), 40);
    back->setGeometry(site->width(), 0, mail->x() - site->width(), Panel1->height());

    mt = new Timer(kMoveMs, false, this);
    mx = new Timer(kCaptionMs, false, this);

    onMouseMove = [this] { FormMouseMove(); };
    rod->onMouseMove = [this] { rodMouseMove(); };
    Panel1->onMouseMove = [this] { Panel1MouseMove(); };
    site->onMouseMove = [this] { siteMouseMove(); };
    mail->onMouseMove = [this] { mailMouseMove(); };
    back->onMouseMove = [this] { backMouseMove(); };
    site->onClick = [this] { siteClick(); };
    mail->onClick = [this] { mailClick(); };
    back->onClick = [this] { backClick(); };
    mt->onTimer = [this] { mtTimer(); };
    mx->onTimer = [this] { mxTimer(); };
}

AboutScreen::~AboutScreen() = default;

// ---- Pointer ----

void AboutScreen::highlightLinks(TLabel *highlighted)
{
    for (TLabel *label : {site, mail, back})
        label->setFontColor(label == highlighted ? kBlue : kMoneyGreen);
}

// Enabling a running timer keeps its phase, so pointer moves only ever start the animations.
void AboutScreen::startAnimations()
{
    mt->setEnabled(true);
    mx->setEnabled(true);
}

void AboutScreen::FormMouseMove() { highlightLinks(nullptr); }
void AboutScreen::Panel1MouseMove() { highlightLinks(nullptr); }
void AboutScreen::siteMouseMove() { highlightLinks(site); }
void AboutScreen::mailMouseMove() { highlightLinks(mail); }
void AboutScreen::rodMouseMove() { startAnimations(); }

// Leaves the links as they are: coming straight from a link, both stay blue.
void AboutScreen::backMouseMove()
{
    back->setFontColor(kBlue);
    startAnimations();
}

// ---- Links ----

// The shell's answer is not looked at: without a browser or a mail program nothing happens.
void AboutScreen::siteClick()
{
    QDesktopServices::openUrl(QUrl(kSiteUrl));
}

void AboutScreen::mailClick()
{
    QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + kMailAddress));
}

// ---- Back to the menu ----

// The about piece plays on to its end; the nickname keeps its place, caption and step for the
// next visit.
void AboutScreen::backClick()
{
    mt->setEnabled(false);
    mx->setEnabled(false);
    emit backRequested();
}

// ---- Animations ----

// The limits are taken anew at every tick: the caption cycle changes the label's width.
void AboutScreen::mtTimer()
{
    if (!isVisible())
        return;
    // The motion runs in the layout's pixels; the label shows them scaled.
    const QPoint at = Scaling::designPoint(rod->pos(), m_rodPlace);
    int left = at.x();
    int top = at.y();
    const QRect bevel = Scaling::designRect(p->geometry());
    const QRect label = Scaling::designRect(rod->geometry());
    AboutMotion::bounce(left, top, rod->tag, mt->tag, bevel.width() - label.width(),
                        bevel.height() - label.height());
    m_rodPlace = QPoint(left, top);
    rod->move(Scaling::point(m_rodPlace));
}

void AboutScreen::mxTimer()
{
    if (!isVisible())
        return;
    const std::optional<AboutMotion::CaptionStep> step = AboutMotion::captionStep(mx->tag);
    if (!step)
        return;
    rod->setCaption(step->caption);
    mx->tag = step->next;
    if (step->interval != 0)
        mx->setInterval(step->interval);
}
