#include "ScreenFixture.h"

#include "about/AboutScreen.h"
#include "menu/MenuScreen.h"
#include "music/TMediaPlayer.h"
#include "toolkit/TBevel.h"
#include "toolkit/TFlatButton.h"
#include "toolkit/TLabel.h"
#include "toolkit/TPanel.h"
#include "toolkit/Timer.h"

#include <QDesktopServices>
#include <QUrl>

namespace {
const QColor kMoneyGreen(192, 220, 192);
const QColor kBlue(0, 0, 255);
const QString kLongCaption = QString::fromUtf8("rodVK - Это круто!");

// The room the nickname has sideways with its present caption.
int limitX() { return aboutScreen()->p->width() - aboutScreen()->rod->width(); }

// Shows the screen as the menu's about button does, ready for pointer events.
void showAbout()
{
    menuScreen()->onAboutClicked();
    QVERIFY(QTest::qWaitForWindowExposed(aboutScreen()));
}

// Runs caption ticks until the caption step is `step`.
void captionTicksTo(int step)
{
    for (int i = 0; i < 12 && aboutScreen()->mx->tag != step; ++i)
        aboutScreen()->mxTimer();
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
        QCOMPARE(aboutScreen()->p->geometry(), QRect(0, 0, 613, 177));
        QCOMPARE(aboutScreen()->Panel1->geometry(), QRect(0, 184, 613, 51));
        QCOMPARE(aboutScreen()->site->caption(), QString("Site: rodvk.example"));
        QCOMPARE(aboutScreen()->mail->caption(), QString("Mail: rodvk@example.org"));
        QCOMPARE(aboutScreen()->site->geometry(),
                 QRect(0, 0, aboutScreen()->site->fontMetrics().horizontalAdvance(aboutScreen()->site->caption()), 51));
        QCOMPARE(aboutScreen()->mail->geometry().right(), 612);
        QCOMPARE(aboutScreen()->mail->width(), aboutScreen()->mail->fontMetrics().horizontalAdvance(aboutScreen()->mail->caption()));
        QCOMPARE(aboutScreen()->back->geometry(), QRect(aboutScreen()->site->width(), 0,
                                                 aboutScreen()->mail->x() - aboutScreen()->site->width(), 51));
        QVERIFY(aboutScreen()->back->width() >= aboutScreen()->back->fontMetrics().horizontalAdvance(aboutScreen()->back->caption()));
        QCOMPARE(aboutScreen()->rod->pos(), QPoint(488, 8));
        QCOMPARE(aboutScreen()->rod->height(), 37);
        QCOMPARE(aboutScreen()->rod->width(), aboutScreen()->rod->fontMetrics().horizontalAdvance("rodVK"));
        QVERIFY(!aboutScreen()->mt->enabled());
        QVERIFY(!aboutScreen()->mx->enabled());
        QCOMPARE(aboutScreen()->mx->interval(), 100);
    }

    // A link turns blue under the pointer, the others money green; "Назад" leaves the links as
    // they are, so coming straight from a link both stay blue until the next move elsewhere.
    void hoverColours()
    {
        showAbout();
        QTest::mouseMove(aboutScreen()->site, QPoint(5, 5));
        QTest::mouseMove(aboutScreen()->back, QPoint(5, 5));
        QCOMPARE(aboutScreen()->site->fontColor(), kBlue);
        QCOMPARE(aboutScreen()->back->fontColor(), kBlue);
        QCOMPARE(aboutScreen()->mail->fontColor(), kMoneyGreen);
        QTest::mouseMove(aboutScreen()->mail, QPoint(5, 5));
        QCOMPARE(aboutScreen()->mail->fontColor(), kBlue);
        QCOMPARE(aboutScreen()->site->fontColor(), kMoneyGreen);
        QCOMPARE(aboutScreen()->back->fontColor(), kMoneyGreen);
        aboutScreen()->backMouseMove();
        aboutScreen()->Panel1MouseMove();
        for (TLabel *label : {aboutScreen()->site, aboutScreen()->mail, aboutScreen()->back})
            QCOMPARE(label->fontColor(), kMoneyGreen);
        aboutScreen()->siteMouseMove();
        // The strip between the frame and the bar is the window's own background.
        QTest::mouseMove(aboutScreen(), QPoint(300, 180));
        QCOMPARE(aboutScreen()->site->fontColor(), kMoneyGreen);
        // Over the frame nothing happens.
        aboutScreen()->siteMouseMove();
        QTest::mouseMove(aboutScreen()->p, QPoint(20, 150));
        QCOMPARE(aboutScreen()->site->fontColor(), kBlue);
    }

    // A pointer move over the nickname or over "Назад" starts both animations.
    void pointerStartsAnimations()
    {
        showAbout();
        QTest::mouseMove(aboutScreen()->back, QPoint(5, 5));
        QVERIFY(aboutScreen()->mt->enabled());
        QVERIFY(aboutScreen()->mx->enabled());
        aboutScreen()->mt->setEnabled(false);
        aboutScreen()->mx->setEnabled(false);
        QTest::mouseMove(aboutScreen()->rod, QPoint(5, 5));
        QVERIFY(aboutScreen()->mt->enabled());
        QVERIFY(aboutScreen()->mx->enabled());
    }

    // While the screen is hidden neither tick changes anything.
    void hiddenTicksDoNothing()
    {
        aboutScreen()->rodMouseMove();
        for (int i = 0; i < 3; ++i) {
            aboutScreen()->mtTimer();
            aboutScreen()->mxTimer();
        }
        QCOMPARE(aboutScreen()->rod->pos(), QPoint(488, 8));
        QCOMPARE(aboutScreen()->mx->tag, 0);
        QCOMPARE(aboutScreen()->mx->interval(), 100);
    }

    // One pixel a tick on each axis; at the right limit a tick only turns the nickname round.
    void bounce()
    {
        showAbout();
        aboutScreen()->mtTimer();
        QCOMPARE(aboutScreen()->rod->pos(), QPoint(489, 9));
        const int ticks = limitX() - 489;
        for (int i = 0; i < ticks; ++i)
            aboutScreen()->mtTimer();
        QCOMPARE(aboutScreen()->rod->pos(), QPoint(limitX(), 9 + ticks));
        aboutScreen()->mtTimer();
        QCOMPARE(aboutScreen()->rod->pos(), QPoint(limitX(), 9 + ticks));
        QCOMPARE(aboutScreen()->rod->tag, 1);
        aboutScreen()->mtTimer();
        QCOMPARE(aboutScreen()->rod->pos(), QPoint(limitX() - 1, 10 + ticks));
    }

    // The long caption widens the nickname to the right: near the right edge it stops moving
    // sideways, keeps moving down, and moves on once the caption is short again.
    void longCaptionStopsSideways()
    {
        showAbout();
        const int left = limitX() - 3;
        aboutScreen()->rod->move(left, 20);
        captionTicksTo(11);
        aboutScreen()->mxTimer();
        QCOMPARE(aboutScreen()->rod->caption(), kLongCaption);
        QVERIFY(aboutScreen()->rod->x() > limitX());
        for (int i = 0; i < 4; ++i)
            aboutScreen()->mtTimer();
        QCOMPARE(aboutScreen()->rod->pos(), QPoint(left, 24));
        aboutScreen()->mxTimer();
        QCOMPARE(aboutScreen()->rod->caption(), QString("rodVK"));
        aboutScreen()->mtTimer();
        QCOMPARE(aboutScreen()->rod->pos(), QPoint(left + 1, 25));
    }

    // The caption course at 100 ms steps until step 8 sets 1000 ms, and step 1 sets 100 ms again;
    // the label keeps its left edge and height while its width follows the caption.
    void captionCourse()
    {
        showAbout();
        const QStringList captions{"rodVK", "rodVK", "r odVK", "r o dVK", "r o d VK", "r o dVK",
                                   "r odVK", "rodVK", "rodVK", "rodVK - ",
                                   QString::fromUtf8("rodVK - Это"), kLongCaption, "rodVK", "rodVK"};
        const QList<int> intervals{100, 100, 100, 100, 100, 100, 100, 100, 1000, 1000, 1000, 1000, 1000, 100};
        for (int i = 0; i < captions.size(); ++i) {
            aboutScreen()->mxTimer();
            QCOMPARE(aboutScreen()->rod->caption(), captions[i]);
            QCOMPARE(aboutScreen()->mx->interval(), intervals[i]);
            QCOMPARE(aboutScreen()->rod->pos(), QPoint(488, 8));
            QCOMPARE(aboutScreen()->rod->height(), 37);
            QCOMPARE(aboutScreen()->rod->width(), aboutScreen()->rod->fontMetrics().horizontalAdvance(captions[i]));
        }
        QCOMPARE(aboutScreen()->mx->tag, 2);
        // A step the cycle does not know does nothing.
        aboutScreen()->mx->tag = 12;
        aboutScreen()->mxTimer();
        QCOMPARE(aboutScreen()->rod->caption(), QString("rodVK"));
        QCOMPARE(aboutScreen()->mx->tag, 12);
    }

    // "Назад": the menu piece becomes the looping piece, repeating is held, the animations
    // stop and the menu comes back; the nickname keeps place, caption, step and interval, and on the
    // next visit moves only after a pointer move over it or "Назад".
    void backAndReturn()
    {
        menuScreen()->onAboutClicked();
        QVERIFY(aboutScreen()->isVisible());
        shellMusic().examLoadingStarted();
        shellMusic().echoGuardElapsed();
        aboutScreen()->rodMouseMove();
        captionTicksTo(10);
        aboutScreen()->mtTimer();
        const QPoint place = aboutScreen()->rod->pos();
        aboutScreen()->backClick();
        QCOMPARE(shellMusic().loopingPiece(), MusicRules::Piece::Menu);
        QCOMPARE(shellMusic().repeat(), MusicRules::Repeat::Held);
        QVERIFY(!aboutScreen()->mt->enabled());
        QVERIFY(!aboutScreen()->mx->enabled());
        QVERIFY(!aboutScreen()->isVisible());
        QVERIFY(menuScreen()->isVisible());

        menuScreen()->onAboutClicked();
        QCOMPARE(aboutScreen()->rod->pos(), place);
        QCOMPARE(aboutScreen()->rod->caption(), QString("rodVK - "));
        QCOMPARE(aboutScreen()->mx->tag, 10);
        QCOMPARE(aboutScreen()->mx->interval(), 1000);
        QVERIFY(!aboutScreen()->mx->enabled());
        aboutScreen()->backMouseMove();
        aboutScreen()->mxTimer();
        QCOMPARE(aboutScreen()->rod->caption(), QString::fromUtf8("rodVK - Это"));
    }

    // The links go to the desktop whole: the site as a web address, the mail as a mailto link.
    void links()
    {
        LinkRecorder recorder;
        QDesktopServices::setUrlHandler("https", &recorder, "open");
        QDesktopServices::setUrlHandler("mailto", &recorder, "open");
        aboutScreen()->siteClick();
        aboutScreen()->mailClick();
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
