#include "ScreenFixture.h"

#include "about/AboutMotion.h"
#include "about/AboutScreen.h"
#include "menu/MenuScreen.h"
#include "music/MusicPlayer.h"
#include "toolkit/Bevel.h"
#include "toolkit/FlatButton.h"
#include "toolkit/Label.h"
#include "toolkit/Panel.h"
#include "toolkit/Timer.h"

#include <QDesktopServices>
#include <QSet>
#include <QUrl>

namespace {
const QColor kMoneyGreen(192, 220, 192);
const QColor kBlue(0, 0, 255);
const QString kLongCaption = QString::fromUtf8("rodVK - Это круто!");

// The room the nickname has sideways with its present caption.
int limitX()
{
    return aboutScreen()->nicknameFrame->width() - aboutScreen()->nickname->width();
}

// Shows the screen as the menu's about button does, ready for pointer events.
void showAbout()
{
    menuScreen()->onAboutClicked();
    QVERIFY(QTest::qWaitForWindowExposed(aboutScreen()));
}

// Runs caption ticks until the caption step is `step`.
void captionTicksTo(int step)
{
    for (int i = 0; i < 12 && aboutScreen()->captionStep() != step; ++i)
        aboutScreen()->onCaptionTick();
}
} // namespace

// Takes the addresses that the screen hands to the desktop.
class LinkRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

class TestAboutScreen : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        m_screens = std::make_unique<ScreenFixture>();
        m_screens->create();
    }
    void cleanup() { m_screens.reset(); }

    // Borderless; the bar's three labels tile the panel below the frame, each link as wide as its
    // caption and "Назад" wide enough for its own; the nickname starts at 488, 8 as wide as its
    // caption; both animations stand still.
    void layout()
    {
        QVERIFY(aboutScreen()->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(aboutScreen()->nicknameFrame->geometry(), QRect(0, 0, 613, 177));
        QCOMPARE(aboutScreen()->linkBar->geometry(), QRect(0, 184, 613, 51));
        QCOMPARE(aboutScreen()->siteLink->caption(), QString("Site: rodvk.example"));
        QCOMPARE(aboutScreen()->mailLink->caption(), QString("Mail: rodvk@example.org"));
        QCOMPARE(aboutScreen()->siteLink->geometry(),
                 QRect(0, 0,
                       aboutScreen()->siteLink->fontMetrics().horizontalAdvance(
                           aboutScreen()->siteLink->caption()),
                       51));
        QCOMPARE(aboutScreen()->mailLink->geometry().right(), 612);
        QCOMPARE(aboutScreen()->mailLink->width(),
                 aboutScreen()->mailLink->fontMetrics().horizontalAdvance(
                     aboutScreen()->mailLink->caption()));
        QCOMPARE(aboutScreen()->backLink->geometry(),
                 QRect(aboutScreen()->siteLink->width(), 0,
                       aboutScreen()->mailLink->x() - aboutScreen()->siteLink->width(), 51));
        QVERIFY(aboutScreen()->backLink->width()
                >= aboutScreen()->backLink->fontMetrics().horizontalAdvance(
                    aboutScreen()->backLink->caption()));
        QCOMPARE(aboutScreen()->nickname->pos(), QPoint(488, 8));
        QCOMPARE(aboutScreen()->nickname->height(), 37);
        QCOMPARE(aboutScreen()->nickname->width(),
                 aboutScreen()->nickname->fontMetrics().horizontalAdvance("rodVK"));
        QVERIFY(!aboutScreen()->moveTimer->enabled());
        QVERIFY(!aboutScreen()->captionTimer->enabled());
        QCOMPARE(aboutScreen()->captionTimer->interval(), 100);
    }

    // A link turns blue under the pointer, the others money green; "Назад" leaves the links as
    // they are, so coming straight from a link both stay blue until the next move elsewhere.
    void hoverColours()
    {
        showAbout();
        QTest::mouseMove(aboutScreen()->siteLink, QPoint(5, 5));
        QTest::mouseMove(aboutScreen()->backLink, QPoint(5, 5));
        QCOMPARE(aboutScreen()->siteLink->fontColor(), kBlue);
        QCOMPARE(aboutScreen()->backLink->fontColor(), kBlue);
        QCOMPARE(aboutScreen()->mailLink->fontColor(), kMoneyGreen);
        QTest::mouseMove(aboutScreen()->mailLink, QPoint(5, 5));
        QCOMPARE(aboutScreen()->mailLink->fontColor(), kBlue);
        QCOMPARE(aboutScreen()->siteLink->fontColor(), kMoneyGreen);
        QCOMPARE(aboutScreen()->backLink->fontColor(), kMoneyGreen);
        aboutScreen()->onBackHovered();
        aboutScreen()->onLinkBarHovered();
        for (Label *label :
             {aboutScreen()->siteLink, aboutScreen()->mailLink, aboutScreen()->backLink})
            QCOMPARE(label->fontColor(), kMoneyGreen);
        aboutScreen()->onSiteHovered();
        // The strip between the frame and the bar is the window's own background.
        QTest::mouseMove(aboutScreen(), QPoint(300, 180));
        QCOMPARE(aboutScreen()->siteLink->fontColor(), kMoneyGreen);
        // Over the frame nothing happens.
        aboutScreen()->onSiteHovered();
        QTest::mouseMove(aboutScreen()->nicknameFrame, QPoint(20, 150));
        QCOMPARE(aboutScreen()->siteLink->fontColor(), kBlue);
    }

    // A pointer move over the nickname or over "Назад" starts both animations.
    void pointerStartsAnimations()
    {
        showAbout();
        QTest::mouseMove(aboutScreen()->backLink, QPoint(5, 5));
        QVERIFY(aboutScreen()->moveTimer->enabled());
        QVERIFY(aboutScreen()->captionTimer->enabled());
        aboutScreen()->moveTimer->setEnabled(false);
        aboutScreen()->captionTimer->setEnabled(false);
        QTest::mouseMove(aboutScreen()->nickname, QPoint(5, 5));
        QVERIFY(aboutScreen()->moveTimer->enabled());
        QVERIFY(aboutScreen()->captionTimer->enabled());
    }

    // While the screen is hidden neither tick changes anything.
    void hiddenTicksDoNothing()
    {
        aboutScreen()->onNicknameHovered();
        for (int i = 0; i < 3; ++i) {
            aboutScreen()->onMoveTick();
            aboutScreen()->onCaptionTick();
        }
        QCOMPARE(aboutScreen()->nickname->pos(), QPoint(488, 8));
        QCOMPARE(aboutScreen()->captionStep(), 0);
        QCOMPARE(aboutScreen()->captionTimer->interval(), 100);
    }

    // One pixel a tick on each axis; at the right limit a tick only turns the nickname round.
    void bounce()
    {
        showAbout();
        aboutScreen()->onMoveTick();
        QCOMPARE(aboutScreen()->nickname->pos(), QPoint(489, 9));
        const int ticks = limitX() - 489;
        for (int i = 0; i < ticks; ++i)
            aboutScreen()->onMoveTick();
        QCOMPARE(aboutScreen()->nickname->pos(), QPoint(limitX(), 9 + ticks));
        aboutScreen()->onMoveTick();
        QCOMPARE(aboutScreen()->nickname->pos(), QPoint(limitX(), 9 + ticks));
        aboutScreen()->onMoveTick();
        QCOMPARE(aboutScreen()->nickname->pos(), QPoint(limitX() - 1, 10 + ticks));
    }

    // The long caption widens the nickname to the right: near the right edge it stops moving
    // sideways, keeps moving down, and moves on once the caption is short again.
    void longCaptionStopsSideways()
    {
        showAbout();
        const int left = limitX() - 3;
        aboutScreen()->nickname->move(left, 20);
        captionTicksTo(11);
        aboutScreen()->onCaptionTick();
        QCOMPARE(aboutScreen()->nickname->caption(), kLongCaption);
        QVERIFY(aboutScreen()->nickname->x() > limitX());
        for (int i = 0; i < 4; ++i)
            aboutScreen()->onMoveTick();
        QCOMPARE(aboutScreen()->nickname->pos(), QPoint(left, 24));
        aboutScreen()->onCaptionTick();
        QCOMPARE(aboutScreen()->nickname->caption(), QString("rodVK"));
        aboutScreen()->onMoveTick();
        QCOMPARE(aboutScreen()->nickname->pos(), QPoint(left + 1, 25));
    }

    // Each caption tick shows what its step of the caption cycle gives and takes the interval it
    // sets (1000 ms from step 8, 100 ms again from step 1); the label keeps its left edge and
    // height while its width follows the caption.
    void captionCourse()
    {
        showAbout();
        int interval = 100;
        QSet<int> intervals;
        for (int tick = 0; tick < 14; ++tick) {
            const auto step = AboutMotion::captionStep(aboutScreen()->captionStep());
            QVERIFY(step);
            aboutScreen()->onCaptionTick();
            interval = step->interval ? step->interval : interval;
            intervals << interval;
            const Label *nickname = aboutScreen()->nickname;
            QCOMPARE(nickname->caption(), step->caption);
            QCOMPARE(aboutScreen()->captionTimer->interval(), interval);
            QCOMPARE(aboutScreen()->captionStep(), step->next);
            QCOMPARE(nickname->geometry(),
                     QRect(488, 8, nickname->fontMetrics().horizontalAdvance(step->caption), 37));
        }
        QCOMPARE(aboutScreen()->captionStep(), 2);
        QCOMPARE(intervals, (QSet<int>{100, 1000}));
    }

    // "Назад": the menu piece becomes the looping piece, repeating is held, the animations
    // stop and the menu comes back; the nickname keeps place, caption, step and interval, and on
    // the next visit moves only after a pointer move over it or "Назад".
    void backAndReturn()
    {
        menuScreen()->onAboutClicked();
        QVERIFY(aboutScreen()->isVisible());
        shellMusic().examLoadingStarted();
        shellMusic().echoGuardElapsed();
        aboutScreen()->onNicknameHovered();
        captionTicksTo(10);
        aboutScreen()->onMoveTick();
        const QPoint place = aboutScreen()->nickname->pos();
        aboutScreen()->onBackClicked();
        QCOMPARE(shellMusic().loopingPiece(), MusicRules::Piece::Menu);
        QCOMPARE(shellMusic().repeat(), MusicRules::Repeat::Held);
        QVERIFY(!aboutScreen()->moveTimer->enabled());
        QVERIFY(!aboutScreen()->captionTimer->enabled());
        QVERIFY(!aboutScreen()->isVisible());
        QVERIFY(menuScreen()->isVisible());

        menuScreen()->onAboutClicked();
        QCOMPARE(aboutScreen()->nickname->pos(), place);
        QCOMPARE(aboutScreen()->nickname->caption(), QString("rodVK - "));
        QCOMPARE(aboutScreen()->captionStep(), 10);
        QCOMPARE(aboutScreen()->captionTimer->interval(), 1000);
        QVERIFY(!aboutScreen()->captionTimer->enabled());
        aboutScreen()->onBackHovered();
        aboutScreen()->onCaptionTick();
        QCOMPARE(aboutScreen()->nickname->caption(), QString::fromUtf8("rodVK - Это"));
    }

    // The links go to the desktop whole: the site as a web address, the mail as a mailto link.
    void links()
    {
        LinkRecorder recorder;
        QDesktopServices::setUrlHandler("https", &recorder, "open");
        QDesktopServices::setUrlHandler("mailto", &recorder, "open");
        aboutScreen()->onSiteClicked();
        aboutScreen()->onMailClicked();
        QDesktopServices::unsetUrlHandler("https");
        QDesktopServices::unsetUrlHandler("mailto");
        QCOMPARE(recorder.opened,
                 (QList<QUrl>{QUrl("https://rodvk.example"), QUrl("mailto:rodvk@example.org")}));
    }

private:
    std::unique_ptr<ScreenFixture> m_screens;
};

QTEST_MAIN(TestAboutScreen)
#include "test_AboutScreen.moc"
