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
int limitX() { return aboutf->p->width() - aboutf->rod->width(); }

// Shows the screen as the menu's about button does, ready for pointer events.
void showAbout()
{
    menuf->ObClick();
    QVERIFY(QTest::qWaitForWindowExposed(aboutf));
}

// Runs caption ticks until the caption step is `step`.
void captionTicksTo(int step)
{
    for (int i = 0; i < 12 && aboutf->mx->tag != step; ++i)
        aboutf->mxTimer();
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
        QVERIFY(aboutf->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(aboutf->p->geometry(), QRect(0, 0, 613, 177));
        QCOMPARE(aboutf->Panel1->geometry(), QRect(0, 184, 613, 51));
        QCOMPARE(aboutf->site->caption(), QString("Site: rodvk.example"));
        QCOMPARE(aboutf->mail->caption(), QString("Mail: rodvk@example.org"));
        QCOMPARE(aboutf->site->geometry(),
                 QRect(0, 0, aboutf->site->fontMetrics().horizontalAdvance(aboutf->site->caption()), 51));
        QCOMPARE(aboutf->mail->geometry().right(), 612);
        QCOMPARE(aboutf->mail->width(), aboutf->mail->fontMetrics().horizontalAdvance(aboutf->mail->caption()));
        QCOMPARE(aboutf->back->geometry(), QRect(aboutf->site->width(), 0,
                                                 aboutf->mail->x() - aboutf->site->width(), 51));
        QVERIFY(aboutf->back->width() >= aboutf->back->fontMetrics().horizontalAdvance(aboutf->back->caption()));
        QCOMPARE(aboutf->rod->pos(), QPoint(488, 8));
        QCOMPARE(aboutf->rod->height(), 37);
        QCOMPARE(aboutf->rod->width(), aboutf->rod->fontMetrics().horizontalAdvance("rodVK"));
        QVERIFY(!aboutf->mt->enabled());
        QVERIFY(!aboutf->mx->enabled());
        QCOMPARE(aboutf->mx->interval(), 100);
    }

    // A link turns blue under the pointer, the others money green; "Назад" leaves the links as
    // they are, so coming straight from a link both stay blue until the next move elsewhere.
    void hoverColours()
    {
        showAbout();
        QTest::mouseMove(aboutf->site, QPoint(5, 5));
        QTest::mouseMove(aboutf->back, QPoint(5, 5));
        QCOMPARE(aboutf->site->fontColor(), kBlue);
        QCOMPARE(aboutf->back->fontColor(), kBlue);
        QCOMPARE(aboutf->mail->fontColor(), kMoneyGreen);
        QTest::mouseMove(aboutf->mail, QPoint(5, 5));
        QCOMPARE(aboutf->mail->fontColor(), kBlue);
        QCOMPARE(aboutf->site->fontColor(), kMoneyGreen);
        QCOMPARE(aboutf->back->fontColor(), kMoneyGreen);
        aboutf->backMouseMove();
        aboutf->Panel1MouseMove();
        for (TLabel *label : {aboutf->site, aboutf->mail, aboutf->back})
            QCOMPARE(label->fontColor(), kMoneyGreen);
        aboutf->siteMouseMove();
        // The strip between the frame and the bar is the window's own background.
        QTest::mouseMove(aboutf, QPoint(300, 180));
        QCOMPARE(aboutf->site->fontColor(), kMoneyGreen);
        // Over the frame nothing happens.
        aboutf->siteMouseMove();
        QTest::mouseMove(aboutf->p, QPoint(20, 150));
        QCOMPARE(aboutf->site->fontColor(), kBlue);
    }

    // A pointer move over the nickname or over "Назад" starts both animations.
    void pointerStartsAnimations()
    {
        showAbout();
        QTest::mouseMove(aboutf->back, QPoint(5, 5));
        QVERIFY(aboutf->mt->enabled());
        QVERIFY(aboutf->mx->enabled());
        aboutf->mt->setEnabled(false);
        aboutf->mx->setEnabled(false);
        QTest::mouseMove(aboutf->rod, QPoint(5, 5));
        QVERIFY(aboutf->mt->enabled());
        QVERIFY(aboutf->mx->enabled());
    }

    // While the screen is hidden neither tick changes anything.
    void hiddenTicksDoNothing()
    {
        aboutf->rodMouseMove();
        for (int i = 0; i < 3; ++i) {
            aboutf->mtTimer();
            aboutf->mxTimer();
        }
        QCOMPARE(aboutf->rod->pos(), QPoint(488, 8));
        QCOMPARE(aboutf->mx->tag, 0);
        QCOMPARE(aboutf->mx->interval(), 100);
    }

    // One pixel a tick on each axis; at the right limit a tick only turns the nickname round.
    void bounce()
    {
        showAbout();
        aboutf->mtTimer();
        QCOMPARE(aboutf->rod->pos(), QPoint(489, 9));
        const int ticks = limitX() - 489;
        for (int i = 0; i < ticks; ++i)
            aboutf->mtTimer();
        QCOMPARE(aboutf->rod->pos(), QPoint(limitX(), 9 + ticks));
        aboutf->mtTimer();
        QCOMPARE(aboutf->rod->pos(), QPoint(limitX(), 9 + ticks));
        QCOMPARE(aboutf->rod->tag, 1);
        aboutf->mtTimer();
        QCOMPARE(aboutf->rod->pos(), QPoint(limitX() - 1, 10 + ticks));
    }

    // The long caption widens the nickname to the right: near the right edge it stops moving
    // sideways, keeps moving down, and moves on once the caption is short again.
    void longCaptionStopsSideways()
    {
        showAbout();
        const int left = limitX() - 3;
        aboutf->rod->move(left, 20);
        captionTicksTo(11);
        aboutf->mxTimer();
        QCOMPARE(aboutf->rod->caption(), kLongCaption);
        QVERIFY(aboutf->rod->x() > limitX());
        for (int i = 0; i < 4; ++i)
            aboutf->mtTimer();
        QCOMPARE(aboutf->rod->pos(), QPoint(left, 24));
        aboutf->mxTimer();
        QCOMPARE(aboutf->rod->caption(), QString("rodVK"));
        aboutf->mtTimer();
        QCOMPARE(aboutf->rod->pos(), QPoint(left + 1, 25));
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
            aboutf->mxTimer();
            QCOMPARE(aboutf->rod->caption(), captions[i]);
            QCOMPARE(aboutf->mx->interval(), intervals[i]);
            QCOMPARE(aboutf->rod->pos(), QPoint(488, 8));
            QCOMPARE(aboutf->rod->height(), 37);
            QCOMPARE(aboutf->rod->width(), aboutf->rod->fontMetrics().horizontalAdvance(captions[i]));
        }
        QCOMPARE(aboutf->mx->tag, 2);
        // A step the cycle does not know does nothing.
        aboutf->mx->tag = 12;
        aboutf->mxTimer();
        QCOMPARE(aboutf->rod->caption(), QString("rodVK"));
        QCOMPARE(aboutf->mx->tag, 12);
    }

    // "Назад": the menu piece becomes the looping piece, the repeat lock is set, the animations
    // stop and the menu comes back; the nickname keeps place, caption, step and interval, and on the
    // next visit moves only after a pointer move over it or "Назад".
    void backAndReturn()
    {
        menuf->ObClick();
        QVERIFY(aboutf->isVisible());
        menuf->mp1->tag = 1;
        menuf->a1->tag = 0;
        aboutf->rodMouseMove();
        captionTicksTo(10);
        aboutf->mtTimer();
        const QPoint place = aboutf->rod->pos();
        aboutf->backClick();
        QCOMPARE(menuf->mp1->tag, 0);
        QCOMPARE(menuf->a1->tag, 1);
        QVERIFY(!aboutf->mt->enabled());
        QVERIFY(!aboutf->mx->enabled());
        QVERIFY(!aboutf->isVisible());
        QVERIFY(menuf->isVisible());

        menuf->ObClick();
        QCOMPARE(aboutf->rod->pos(), place);
        QCOMPARE(aboutf->rod->caption(), QString("rodVK - "));
        QCOMPARE(aboutf->mx->tag, 10);
        QCOMPARE(aboutf->mx->interval(), 1000);
        QVERIFY(!aboutf->mx->enabled());
        aboutf->backMouseMove();
        aboutf->mxTimer();
        QCOMPARE(aboutf->rod->caption(), QString::fromUtf8("rodVK - Это"));
    }

    // The links go to the desktop whole: the site as a web address, the mail as a mailto link.
    void links()
    {
        LinkRecorder recorder;
        QDesktopServices::setUrlHandler("https", &recorder, "open");
        QDesktopServices::setUrlHandler("mailto", &recorder, "open");
        aboutf->siteClick();
        aboutf->mailClick();
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
