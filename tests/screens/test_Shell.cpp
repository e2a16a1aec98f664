#include "ScreenFixture.h"

#include "about/AboutScreen.h"
#include "game/GameScreen.h"
#include "menu/MenuScreen.h"
#include "music/MusicPlayer.h"
#include "score/ScoreScreen.h"
#include "toolkit/Guard.h"
#include "toolkit/LineEdit.h"
#include "toolkit/MultiLineEdit.h"
#include "toolkit/Panel.h"
#include "toolkit/PictureBox.h"
#include "toolkit/Timer.h"
#include "widgets/Gauge.h"

#include <QApplication>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTimer>

#include <functional>
#include <map>

class TestShell : public QObject {
    Q_OBJECT
private slots:
    void init() { m_screens = std::make_unique<ScreenFixture>(); }
    void cleanup() { m_screens.reset(); }

    // Start-up creates four screens with their captions and sizes; only the menu is shown.
    void startUp()
    {
        m_screens->create();
        QVERIFY(menuScreen()->isVisible());
        QVERIFY(!gameScreen()->isVisible());
        QVERIFY(!scoreScreen()->isVisible());
        QVERIFY(!aboutScreen()->isVisible());
        QCOMPARE(menuScreen()->windowTitle(), QString::fromUtf8("Меню \"PEMy -и Зольмар\""));
        QCOMPARE(gameScreen()->windowTitle(),
                 QString::fromUtf8("Игра нового поколения! PEMy\" v 1.0.0.1 alpha"));
        QCOMPARE(scoreScreen()->windowTitle(), QString::fromUtf8("Очки"));
        QCOMPARE(aboutScreen()->windowTitle(),
                 QString::fromUtf8("О авторе... Программа \"PEMy\" v 1.0.0.1 alpha"));
        QCOMPARE(menuScreen()->size(), QSize(688, 440));
        QCOMPARE(gameScreen()->size(), QSize(688, 463));
        QCOMPARE(scoreScreen()->size(), QSize(694, 440));
        QCOMPARE(aboutScreen()->size(), QSize(613, 235));
        // Fixed size, no maximise box; the about screen has no frame at all.
        for (QWidget *framed : QList<QWidget *>{menuScreen(), gameScreen(), scoreScreen()}) {
            QVERIFY(!(framed->windowFlags() & Qt::WindowMaximizeButtonHint));
            QVERIFY(framed->windowFlags() & Qt::WindowCloseButtonHint);
            QVERIFY(framed->windowFlags() & Qt::WindowMinimizeButtonHint);
            QCOMPARE(framed->minimumSize(), framed->maximumSize());
        }
        QVERIFY(aboutScreen()->windowFlags() & Qt::FramelessWindowHint);
        QVERIFY(ErrorBox::openTexts().isEmpty());
    }

    // Closing the game or the score window only hides it; the game clock of a hidden game screen
    // runs on. Every hidden screen gives up its native window, so that the game places it anew when
    // it comes back.
    void closingOtherScreensHides()
    {
        m_screens->create();
        gameScreen()->showScreen();
        gameScreen()->examClock->setEnabled(true);
        scoreScreen()->showScreen();
        gameScreen()->close();
        scoreScreen()->close();
        QVERIFY(!gameScreen()->isVisible());
        QVERIFY(!scoreScreen()->isVisible());
        QVERIFY(gameScreen()->examClock->enabled());
        QVERIFY(menuScreen()->isVisible());
        menuScreen()->hide();
        for (QWidget *screen : QList<QWidget *>{menuScreen(), gameScreen(), scoreScreen()})
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
        scoreScreen()->showScreen();
        QTimer::singleShot(0, menuScreen(), [way] {
            if (way == 0)
                menuScreen()->close();
            else if (way == 1)
                menuScreen()->onExitClicked();
            else
                gameScreen()->onExitClicked();
        });
        QTimer watchdog;
        bool timedOut = false;
        watchdog.singleShot(5000, [&] {
            timedOut = true;
            QApplication::exit(1);
        });
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(!timedOut);
    }

    // Enter on every screen, whatever has the focus, runs the menu's enterAction(): the hidden
    // panels show and the name check runs. No text box receives the key, and nothing is saved: only
    // "Назад" writes the score list.
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
        menuScreen()->nameField->setText(QString::fromUtf8("Студент"));
        QWidget *target = nullptr;
        switch (screen) {
        case 0:
            target = menuScreen()->nameField;
            break;
        case 1:
            gameScreen()->showScreen();
            target = gameScreen();
            break;
        case 2:
            scoreScreen()->showScreen();
            scoreScreen()->scoreList->setReadOnly(false);
            scoreScreen()->scoreList->setText("line\r\n");
            target = scoreScreen()->scoreList;
            break;
        case 3:
            aboutScreen()->showScreen();
            target = aboutScreen();
            break;
        }
        target->setFocus();
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(menuScreen()->hiddenPanel->isVisibleTo(menuScreen()));
        QVERIFY(gameScreen()->readoutPanel->isVisibleTo(gameScreen()));
        QVERIFY(menuScreen()->loadingTimer->enabled());
        QCOMPARE(menuScreen()->nameField->text(), QString::fromUtf8("Студент"));
        QCOMPARE(scoreScreen()->scoreList->text(), screen == 2 ? QString("line\r\n") : QString());
        QVERIFY(!QFile::exists(m_screens->path("base/data/score.inf")));
        QVERIFY(!QFile::exists(m_screens->path("score.inf")));
    }

    // Enter reveals the panels even when the name check refuses the name.
    void enterRevealsPanelsOnRefusal()
    {
        m_screens->create();
        QTest::keyClick(menuScreen()->nameField, Qt::Key_Return);
        QVERIFY(menuScreen()->hiddenPanel->isVisibleTo(menuScreen()));
        QVERIFY(gameScreen()->readoutPanel->isVisibleTo(gameScreen()));
        QVERIFY(!menuScreen()->loadingTimer->enabled());
        QCOMPARE(menuScreen()->nameField->text(), QString());
    }

    // The program's start shows the menu first; right after its first paint the menu piece starts
    // and the game, score and about screens are created, hidden, with their files.
    void startUpAfterFirstPaint()
    {
        m_screens->write("base/data/score.inf", "old line\r\n");
        m_screens->copyAsset("base/sound/pms.mp3");
        m_screens->startUp();
        QVERIFY(menuScreen()->isVisible());
        QVERIFY(!gameScreen() && !scoreScreen() && !aboutScreen());
        QTRY_VERIFY(aboutScreen());
        QVERIFY(gameScreen() && scoreScreen());
        QVERIFY(!gameScreen()->isVisible() && !scoreScreen()->isVisible()
                && !aboutScreen()->isVisible());
        QCOMPARE(scoreScreen()->scoreList->text(), QString("old line\r\n"));
        QCOMPARE(menuScreen()->musicPlayer->mode(), MusicPlayer::Mode::Playing);
        QCOMPARE(menuScreen()->musicPlayer->fileName(), QString("base\\sound\\pms.mp3"));
    }

    // A key or a click that comes before the first paint finds every screen created: Enter on the
    // menu starts the loading, which reaches the game screen.
    void inputBeforeFirstPaint()
    {
        m_screens->startUp();
        menuScreen()->nameField->setText(QString::fromUtf8("Студент"));
        QTest::keyClick(menuScreen()->nameField, Qt::Key_Return);
        QVERIFY(gameScreen() && scoreScreen() && aboutScreen());
        QVERIFY(gameScreen()->readoutPanel->isVisibleTo(gameScreen()));
        QVERIFY(menuScreen()->loadingTimer->enabled());
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
            m_screens->startUp();
            front = menuScreen();
            QTRY_VERIFY(aboutScreen());
            break;
        case 1:
            m_screens->create();
            m_screens->write("base/sound/pms2.mp3", notMusic);
            menuScreen()->nameField->setText("x");
            menuScreen()->onNewGameClicked();
            while (!gameScreen()->isVisible())
                menuScreen()->loadingTimer->fire();
            front = gameScreen();
            break;
        case 2:
            m_screens->create();
            for (int i = 1; i <= 5; ++i)
                m_screens->write(QString("base/image/Ico/b%1.ico").arg(i), "not an icon");
            gameScreen()->showScreen();
            gameScreen()->exam().hoverSheet(Sheet::Notes);
            for (int i = 0; i < 6 && ErrorBox::openTexts().isEmpty(); ++i)
                guarded([] { gameScreen()->exam().cycleIcon(Sheet::Notes); });
            gameScreen()->exam().finish();
            front = scoreScreen();
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

    // The table of screen switches: from the screens shown at the start of a row, one action of the
    // player; which signals the screens give and which screens are on the screen afterwards.
    void handOvers_data()
    {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("given");
        QTest::addColumn<QStringList>("after");
        const QStringList menu{"menu"};
        QTest::newRow("Новая игра, the loading full")
            << menu << "new game" << QStringList{"menu.examStarted"} << QStringList{"game"};
        QTest::newRow("Новая игра without a name")
            << menu << "new game, no name" << QStringList{} << menu;
        QTest::newRow("Enter on the about screen: it stays beside the exam")
            << QStringList{"about"} << "enter"
            << QStringList{"menu.hiddenPanelsRequested", "menu.examStarted"}
            << QStringList{"game", "about"};
        QTest::newRow("Enter on the score list: it gives way to the exam")
            << QStringList{"scores"} << "enter"
            << QStringList{"menu.hiddenPanelsRequested", "menu.examStarted"} << QStringList{"game"};
        QTest::newRow("Очки") << menu << "scores" << QStringList{"menu.scoresRequested"}
                              << QStringList{"scores"};
        QTest::newRow("Очки, then Назад") << QStringList{"scores"} << "back from scores"
                                          << QStringList{"scores.backRequested"} << menu;
        QTest::newRow("О программе")
            << menu << "about" << QStringList{"menu.aboutRequested"} << QStringList{"about"};
        QTest::newRow("О программе, then Назад") << QStringList{"about"} << "back from about"
                                                 << QStringList{"about.backRequested"} << menu;
        QTest::newRow("the exam ends") << QStringList{"game"} << "exam ends"
                                       << QStringList{"game.examFinished"} << QStringList{"scores"};
        QTest::newRow("the exam ends with the about screen open")
            << QStringList{"game", "about"} << "exam ends" << QStringList{"game.examFinished"}
            << QStringList{"scores", "about"};
        QTest::newRow("the lordly name")
            << menu << "lordly" << QStringList{"menu.lordlyModeEntered"} << menu;
    }
    void handOvers()
    {
        QFETCH(QStringList, before);
        QFETCH(QString, action);
        QFETCH(QStringList, given);
        QFETCH(QStringList, after);
        m_screens->create();
        const QList<std::pair<QString, Screen *>> screens{{"menu", menuScreen()},
                                                          {"game", gameScreen()},
                                                          {"scores", scoreScreen()},
                                                          {"about", aboutScreen()}};
        for (const auto &[name, screen] : screens)
            screen->setVisible(before.contains(name));
        menuScreen()->nameField->setText(action == "new game, no name" ? QString()
                                                                       : QStringLiteral("Студент"));
        // Every signal that a screen declares.
        std::vector<std::unique_ptr<QSignalSpy>> spies;
        QStringList names;
        for (const auto &[name, screen] : screens) {
            const QMetaObject *meta = screen->metaObject();
            for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
                if (meta->method(i).methodType() != QMetaMethod::Signal)
                    continue;
                spies.push_back(std::make_unique<QSignalSpy>(screen, meta->method(i)));
                names << name + "." + meta->method(i).name();
            }
        }
        const std::map<QString, std::function<void()>> actions{
            {"new game", [] { menuScreen()->onNewGameClicked(); }},
            {"new game, no name", [] { menuScreen()->onNewGameClicked(); }},
            {"enter",
             [&] {
                 QTest::keyClick(screens[before[0] == "about" ? 3 : 2].second, Qt::Key_Return);
             }},
            {"scores", [] { menuScreen()->onScoresClicked(); }},
            {"back from scores", [] { scoreScreen()->onBackClicked(); }},
            {"about", [] { menuScreen()->onAboutClicked(); }},
            {"back from about", [] { aboutScreen()->onBackClicked(); }},
            {"exam ends", [] { gameScreen()->exam().finish(); }},
            {"lordly",
             [] { menuScreen()->nameField->setText(QString::fromUtf16(MenuScreen::kLordlyName)); }},
        };
        guarded(actions.at(action));
        // The loading runs to its end.
        for (int tick = 0; tick < 101 && menuScreen()->loadingTimer->enabled(); ++tick)
            menuScreen()->loadingTimer->fire();
        QStringList fired;
        for (size_t i = 0; i < spies.size(); ++i)
            if (!spies[i]->isEmpty())
                fired << names[int(i)];
        fired.sort();
        given.sort();
        QCOMPARE(fired, given);
        QStringList shown;
        for (const auto &[name, screen] : screens)
            if (screen->isVisible())
                shown << name;
        QCOMPARE(shown, after);
    }

private:
    std::unique_ptr<ScreenFixture> m_screens;
};

QTEST_MAIN(TestShell)
#include "test_Shell.moc"
