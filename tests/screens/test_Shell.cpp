#include "ScreenFixture.h"

#include "about/AboutScreen.h"
#include "game/GameScreen.h"
#include "menu/MenuScreen.h"
#include "score/ScoreScreen.h"
#include "toolkit/Guard.h"
#include "toolkit/TEdit.h"
#include "toolkit/TImage.h"
#include "toolkit/TMemo.h"
#include "toolkit/TPanel.h"
#include "toolkit/Timer.h"
#include "widgets/TGauge.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

class TestShell : public QObject {
    Q_OBJECT
private slots:
    void init() { m_screens = std::make_unique<ScreenFixture>(); }
    void cleanup() { m_screens.reset(); }

    // Start-up creates four screens with their captions and sizes; only the menu is shown.
    void startUp()
    {
        m_screens->create();
        QVERIFY(menuf->isVisible());
        QVERIFY(!gamef->isVisible());
        QVERIFY(!scoref->isVisible());
        QVERIFY(!aboutf->isVisible());
        QCOMPARE(menuf->windowTitle(), QString::fromUtf8("Меню \"PEMy -и Зольмар\""));
        QCOMPARE(gamef->windowTitle(), QString::fromUtf8("Игра нового поколения! PEMy\" v 1.0.0.1 alpha"));
        QCOMPARE(scoref->windowTitle(), QString::fromUtf8("Очки"));
        QCOMPARE(aboutf->windowTitle(), QString::fromUtf8("О авторе... Программа \"PEMy\" v 1.0.0.1 alpha"));
        QCOMPARE(menuf->size(), QSize(688, 440));
        QCOMPARE(gamef->size(), QSize(688, 463));
        QCOMPARE(scoref->size(), QSize(694, 440));
        QCOMPARE(aboutf->size(), QSize(613, 235));
        // Fixed size, no maximise box; the about screen has no frame at all.
        for (QWidget *framed : QList<QWidget *>{menuf, gamef, scoref}) {
            QVERIFY(!(framed->windowFlags() & Qt::WindowMaximizeButtonHint));
            QVERIFY(framed->windowFlags() & Qt::WindowCloseButtonHint);
            QVERIFY(framed->windowFlags() & Qt::WindowMinimizeButtonHint);
            QCOMPARE(framed->minimumSize(), framed->maximumSize());
        }
        QVERIFY(aboutf->windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(ErrorBox::openTexts().isEmpty());
    }

    // Closing the game or the score window only hides it; the game clock of a hidden game screen runs on.
    // Every hidden screen gives up its native window, so that the game places it anew when it comes back.
    void closingOtherScreensHides()
    {
        m_screens->create();
        gamef->showScreen();
        gamef->timet->setEnabled(true);
        scoref->showScreen();
        gamef->close();
        scoref->close();
        QVERIFY(!gamef->isVisible());
        QVERIFY(!scoref->isVisible());
        QVERIFY(gamef->timet->enabled());
        QVERIFY(menuf->isVisible());
        menuf->hide();
        for (QWidget *screen : QList<QWidget *>{menuf, gamef, scoref})
            QTRY_VERIFY(!screen->windowHandle()->handle());
    }

    // Closing the menu, or either "Выход", ends the event loop, whatever else is shown.
    void closingMenuEnds_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("the menu's close box") << 0;
        QTest::newRow("the menu's Выход") << 1;
        QTest::newRow("the game's Выход") << 2;
    }
    void closingMenuEnds()
    {
        QFETCH(int, way);
        m_screens->create();
        scoref->showScreen();
        QTimer::singleShot(0, menuf, [way] {
            if (way == 0)
                menuf->close();
            else if (way == 1)
                menuf->ExitClick();
            else
                gamef->exitClick();
        });
        QTimer watchdog;
        bool timedOut = false;
        watchdog.singleShot(5000, [&] { timedOut = true; QApplication::exit(1); });
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(!timedOut);
    }

    // Enter on every screen, whatever has the focus, runs the menu's `enter`: the hidden panels show
    // and the name check runs. No text box receives the key, and nothing is saved: only "Назад"
    // writes the score list.
    void enterFromEveryScreen_data()
    {
        QTest::addColumn<int>("screen");
        QTest::newRow("menu, name field focused") << 0;
        QTest::newRow("game") << 1;
        QTest::newRow("score, editable list focused") << 2;
        QTest::newRow("about") << 3;
    }
    void enterFromEveryScreen()
    {
        QFETCH(int, screen);
        m_screens->create();
        menuf->name->setText(QString::fromUtf8("Студент"));
        QWidget *target = nullptr;
        switch (screen) {
        case 0: target = menuf->name; break;
        case 1: gamef->showScreen(); target = gamef; break;
        case 2:
            scoref->showScreen();
            scoref->Score->setReadOnly(false);
            scoref->Score->setText("line\r\n");
            target = scoref->Score;
            break;
        case 3: aboutf->showScreen(); target = aboutf; break;
        }
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(menuf->xpan->isVisibleTo(menuf));
        QVERIFY(gamef->bfg->isVisibleTo(gamef));
        QVERIFY(menuf->tx->enabled());
        QCOMPARE(menuf->name->text(), QString::fromUtf8("Студент"));
        QCOMPARE(scoref->Score->text(), screen == 2 ? QString("line\r\n") : QString());
        QVERIFY(!QFile::exists(m_screens->path("base/data/score.inf")));
        QVERIFY(!QFile::exists(m_screens->path("score.inf")));
    }

    // Enter reveals the panels even when the name check refuses the name.
    void enterRevealsPanelsOnRefusal()
    {
        m_screens->create();
        QTest::keyClick(menuf->name, Qt::Key_Return);
        QVERIFY(menuf->xpan->isVisibleTo(menuf));
        QVERIFY(gamef->bfg->isVisibleTo(gamef));
        QVERIFY(!menuf->tx->enabled());
        QCOMPARE(menuf->name->text(), QString());
    }

    // Enter on the about screen with a valid name starts an exam; the about screen stays beside it.
    void enterOnAboutKeepsAbout()
    {
        m_screens->create();
        menuf->name->setText("x");
        aboutf->showScreen();
        menuf->hide();
        QTest::keyClick(aboutf, Qt::Key_Return);
        while (!gamef->isVisible())
            menuf->tx->fire();
        QVERIFY(aboutf->isVisible());
        QVERIFY(!menuf->isVisible());
        QVERIFY(gamef->timet->enabled());
    }

    // The program's start shows the menu first and creates the game, score and about screens right
    // after its first paint, hidden, with their files; the menu's music starts at once.
    void startUpAfterFirstPaint()
    {
        m_screens->write("base/data/score.inf", "old line\r\n");
        Screens::startUp();
        QVERIFY(menuf->isVisible());
        QVERIFY(!gamef && !scoref && !aboutf);
        QTRY_VERIFY(aboutf);
        QVERIFY(gamef && scoref);
        QVERIFY(!gamef->isVisible() && !scoref->isVisible() && !aboutf->isVisible());
        QCOMPARE(scoref->Score->text(), QString("old line\r\n"));
    }

    // A key or a click that comes before the first paint finds every screen created: Enter on the
    // menu starts the loading, which reaches the game screen.
    void inputBeforeFirstPaint()
    {
        Screens::startUp();
        menuf->name->setText(QString::fromUtf8("Студент"));
        QTest::keyClick(menuf->name, Qt::Key_Return);
        QVERIFY(gamef && scoref && aboutf);
        QVERIFY(gamef->bfg->isVisibleTo(gamef));
        QVERIFY(menuf->tx->enabled());
    }

    // An error box opened by a step that a screen switch follows stays in front of the new screen
    // and keeps the keyboard: a broken menu piece at start-up (through the real sound back-end), a
    // broken exam piece at the loading's 80 %, a broken icon in an exam that then ends.
    void boxStaysInFront_data()
    {
        QTest::addColumn<int>("path");
        QTest::addColumn<QString>("text");
        QTest::newRow("menu piece at start-up") << 0 << "The music file is damaged.";
        QTest::newRow("exam piece at 80 %") << 1 << "The music file is damaged.";
        QTest::newRow("icon, then the score screen") << 2 << "Icon image is not valid.";
    }
    void boxStaysInFront()
    {
        QFETCH(int, path);
        QFETCH(QString, text);
        QFile picture(PEMY_SOURCE_DIR "/base/image/fon.jpg");
        QVERIFY(picture.open(QIODevice::ReadOnly));
        const QByteArray notMusic = picture.readAll();
        QWidget *front = nullptr;
        switch (path) {
        case 0:
            m_screens->write("base/sound/pms.mp3", notMusic);
            Screens::startUp();
            front = menuf;
            QTRY_VERIFY(aboutf);
            break;
        case 1:
            m_screens->create();
            m_screens->write("base/sound/pms2.mp3", notMusic);
            menuf->name->setText("x");
            menuf->NewGameClick();
            while (!gamef->isVisible())
                menuf->tx->fire();
            front = gamef;
            break;
        case 2:
            m_screens->create();
            for (int i = 1; i <= 5; ++i)
                m_screens->write(QString("base/image/Ico/b%1.ico").arg(i), "not an icon");
            gamef->showScreen();
            gamef->q1->tag = 1;
            for (int i = 0; i < 6 && ErrorBox::openTexts().isEmpty(); ++i)
                guarded([] { gamef->konExecute(); });
            gamef->winExecute();
            front = scoref;
            break;
        }
        QCOMPARE(ErrorBox::openTexts(), QStringList{text});
        QVERIFY(front->isVisible());
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        QCOMPARE(box->text(), text);
        QTRY_COMPARE(QApplication::activeWindow(), box);
        QVERIFY(box->windowHandle()->transientParent() == front->windowHandle() || path == 0);
    }

private:
    std::unique_ptr<ScreenFixture> m_screens;
};

QTEST_MAIN(TestShell)
#include "test_Shell.moc"
