// The music through the real menu, the real player and the music owner, over a fake back-end that
// records what it is told and ends a piece when the test says: what the player hears, the echoes
// of superseded requests, the sound switch's icons and captions and the lordly mode. Which piece
// the rules choose is the music rules' own table (test_MusicRules). Notifications travel as
// queued events, so the tests deliver them with settle(); the 100 ms echo guard is fired by hand.

#include "ScreenFixture.h"

#include "about/AboutScreen.h"
#include "formats/Pictures.h"
#include "game/GameScreen.h"
#include "menu/MenuScreen.h"
#include "music/MusicBackend.h"
#include "music/MusicPlayer.h"
#include "score/ScoreScreen.h"
#include "toolkit/AssetPath.h"
#include "toolkit/FlatButton.h"
#include "toolkit/Guard.h"
#include "toolkit/Label.h"
#include "toolkit/LineEdit.h"
#include "toolkit/MultiLineEdit.h"
#include "toolkit/PictureBox.h"
#include "toolkit/Timer.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace {

// Plays nothing. Like the sound library, closing a piece that plays reports its end at once.
class FakeMusic : public MusicBackend {
public:
    // The back-end of the menu created last.
    static inline FakeMusic *current = nullptr;
    // File names whose opening fails.
    static inline QStringList unopenable;

    FakeMusic() { current = this; }
    ~FakeMusic() override
    {
        if (current == this)
            current = nullptr;
    }

    bool open(const QString &path, QString *error) override
    {
        const QString name = QFileInfo(path).fileName();
        m_log << "open " + name;
        if (unopenable.contains(name)) {
            *error = QStringLiteral("The file cannot be played");
            return false;
        }
        return true;
    }
    void close() override
    {
        m_log << "close";
        if (m_playing)
            endNaturally();
    }
    bool play() override
    {
        m_log << "play";
        m_playing = true;
        return true;
    }
    void pause() override { m_log << "pause"; }
    void resume() override { m_log << "resume"; }
    void setFinishedHandler(std::function<void()> handler) override
    {
        m_finished = std::move(handler);
    }

    // The piece has played to its end.
    void endNaturally()
    {
        m_playing = false;
        if (m_finished)
            m_finished();
    }

    // The commands since the last call.
    QStringList takeLog() { return std::exchange(m_log, {}); }

private:
    QStringList m_log;
    bool m_playing = false;
    std::function<void()> m_finished;
};

FakeMusic &music()
{
    return *FakeMusic::current;
}

// Delivers every notification on its way, and whatever those set off.
void settle()
{
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

const QStringList kRestartMenuPiece{"close", "open pms.mp3", "play"};
const QStringList kRestartExamPiece{"close", "open pms2.mp3", "play"};

enum Files { kNoMusic = 0, kMp3 = 1, kMidi = 2, kAll = kMp3 | kMidi };

const QString kLordly = QStringLiteral("wenKT");
const QString kWaiting = QString::fromUtf8("Пожалуйста подождите...");

} // namespace

class TestMenuMusic : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Music::backendFactory = [] { return std::make_unique<FakeMusic>(); };
    }
    void cleanupTestCase() { Music::backendFactory = nullptr; }
    void init()
    {
        FakeMusic::unopenable.clear();
        m_screens = std::make_unique<ScreenFixture>();
        m_screens->copyAsset("base/image/Ico/son.bmp");
        m_screens->copyAsset("base/image/Ico/sof.bmp");
    }
    void cleanup() { m_screens.reset(); }

    // At start-up the menu piece plays; at each natural end it starts again from its beginning,
    // with no echo; notifications are ignored until the echo guard has run.
    void menuPieceRepeats()
    {
        start(kAll);
        QCOMPARE(music().takeLog(), (QStringList{"open pms.mp3", "play"}));
        QCOMPARE(menuScreen()->musicPlayer->mode(), MusicPlayer::Mode::Playing);
        for (int round = 0; round < 2; ++round) {
            music().endNaturally();
            settle();
            QCOMPARE(music().takeLog(), kRestartMenuPiece);
            QCOMPARE(shellMusic().repeat(), MusicRules::Repeat::Held);
            QVERIFY(shellMusic().echoGuard()->enabled());
            settle();
            QCOMPARE(music().takeLog(), QStringList());
            shellMusic().echoGuard()->fire();
            QVERIFY(!shellMusic().echoGuard()->enabled());
            QCOMPARE(shellMusic().repeat(), MusicRules::Repeat::Armed);
        }
    }

    // A menu piece that exists but cannot be opened is reported; the fallback is not tried.
    void unopenableMenuPiece()
    {
        FakeMusic::unopenable << "pms.mp3";
        start(kAll);
        QCOMPARE(music().takeLog(), QStringList{"open pms.mp3"});
        QVERIFY(!menuScreen()->musicPlayer->isOpen());
        QCOMPARE(ErrorBox::openTexts(), QStringList{"The file cannot be played."});
    }

    // The exam piece started outside a notification (the loading at 80 %) aborts the menu piece;
    // that echo restarts the exam piece once more, and the echo of the restart is swallowed. From
    // then on the exam piece is the one that repeats.
    void clickOutsideNotificationEchoes()
    {
        start(kAll);
        music().takeLog();
        shellMusic().playExamPiece();
        QCOMPARE(music().takeLog(), kRestartExamPiece);
        QCOMPARE(shellMusic().loopingPiece(), MusicRules::Piece::Exam);
        QCOMPARE(shellMusic().repeat(), MusicRules::Repeat::Armed);
        settle();
        QCOMPARE(music().takeLog(), kRestartExamPiece);
        QCOMPARE(shellMusic().repeat(), MusicRules::Repeat::Held);
        settle();
        QCOMPARE(music().takeLog(), QStringList());
        shellMusic().echoGuard()->fire();
        music().endNaturally();
        settle();
        QCOMPARE(music().takeLog(), kRestartExamPiece);
        // Back to the menu piece the same way (the score screen's "Назад").
        shellMusic().echoGuard()->fire();
        shellMusic().playMenuPiece();
        settle();
        QCOMPARE(music().takeLog(), kRestartMenuPiece + kRestartMenuPiece);
        QCOMPARE(shellMusic().loopingPiece(), MusicRules::Piece::Menu);
    }

    // In the usual state switching off pauses and switching on starts the looping piece anew
    // (the superseded request's notification restarts it); the icons follow the switch. If the echo
    // guard then finds the switch off, repeating ends for good.
    void soundSwitchUsual()
    {
        start(kAll);
        music().takeLog();
        menuScreen()->onSoundSwitchClicked();
        QCOMPARE(music().takeLog(), QStringList{"pause"});
        QVERIFY(!shellMusic().soundOn());
        QCOMPARE(menuScreen()->soundSwitch->picture(), icon("Base\\image\\Ico\\sof.bmp"));
        settle();
        QCOMPARE(music().takeLog(), QStringList());
        menuScreen()->onSoundSwitchClicked();
        QVERIFY(shellMusic().soundOn());
        QCOMPARE(menuScreen()->soundSwitch->picture(), icon("Base\\image\\Ico\\son.bmp"));
        settle();
        QCOMPARE(music().takeLog(), QStringList{"resume"} + kRestartMenuPiece);
        QCOMPARE(shellMusic().loopingPiece(), MusicRules::Piece::Menu);

        menuScreen()->onSoundSwitchClicked();
        shellMusic().echoGuard()->fire();
        QCOMPARE(shellMusic().repeat(), MusicRules::Repeat::Held);
        menuScreen()->onSoundSwitchClicked();
        settle();
        QCOMPARE(music().takeLog(), (QStringList{"pause", "resume"}));
        QCOMPARE(menuScreen()->windowTitle(), QString::fromUtf8("Меню \"PEMy -и Зольмар\""));
    }

    // While a single piece plays the switch pauses and resumes it where it stood; once it has
    // ended, switching on plays it again from its beginning.
    void soundSwitchDuringSinglePiece()
    {
        start(kAll);
        menuScreen()->onAboutClicked();
        music().takeLog();
        menuScreen()->onSoundSwitchClicked();
        menuScreen()->onSoundSwitchClicked();
        settle();
        QCOMPARE(music().takeLog(), (QStringList{"pause", "resume"}));
        QCOMPARE(menuScreen()->musicPlayer->mode(), MusicPlayer::Mode::Playing);
        music().endNaturally();
        settle();
        menuScreen()->onSoundSwitchClicked();
        QCOMPARE(music().takeLog(), QStringList());
        menuScreen()->onSoundSwitchClicked();
        settle();
        QCOMPARE(music().takeLog(), QStringList{"play"});
        QCOMPARE(menuScreen()->musicPlayer->fileName(), QString("base\\soundLite\\pms1.mid"));
    }

    // With no piece open the switch reports in the menu's caption and changes state and icon as
    // usual; no error box.
    void soundSwitchWithoutMusic()
    {
        start(kNoMusic);
        menuScreen()->onSoundSwitchClicked();
        QCOMPARE(menuScreen()->windowTitle(), QString("Error #13"));
        QVERIFY(!shellMusic().soundOn());
        QCOMPARE(menuScreen()->soundSwitch->picture(), icon("Base\\image\\Ico\\sof.bmp"));
        menuScreen()->onSoundSwitchClicked();
        QCOMPARE(menuScreen()->windowTitle(), QString("Error #12"));
        QVERIFY(shellMusic().soundOn());
        QCOMPARE(menuScreen()->soundSwitch->picture(), icon("Base\\image\\Ico\\son.bmp"));
        QCOMPARE(ErrorBox::openTexts(), QStringList());
        QCOMPARE(music().takeLog(), QStringList());
    }

    // Typed letter by letter: the fourth letter shows the waiting text, the fifth enters the lordly
    // mode: captions, the disabled field, both window captions, the game's exit button, its piece.
    void lordlyTyped()
    {
        start(kAll);
        music().takeLog();
        menuScreen()->nameField->clear();
        const QStringList seen =
            headlinePerChange([] { QTest::keyClicks(menuScreen()->nameField, kLordly); });
        QCOMPARE(seen.size(), 5);
        QCOMPARE(seen[3], kWaiting);
        QCOMPARE(seen[4], QString::fromUtf8("Да здравствует повелитель!"));
        verifyLordly();
        QCOMPARE(music().takeLog(), (QStringList{"pause", "close", "open pms.mid", "play"}));
        QCOMPARE(shellMusic().repeat(), MusicRules::Repeat::SinglePiece);
        settle();
        QCOMPARE(music().takeLog(), QStringList());

        // The loading does not start the exam piece; the lordly piece plays once.
        menuScreen()->onNewGameClicked();
        for (int i = 0; i < 101 && !gameScreen()->isVisible(); ++i)
            menuScreen()->loadingTimer->fire();
        QVERIFY(gameScreen()->isVisible());
        music().endNaturally();
        settle();
        QCOMPARE(music().takeLog(), QStringList());

        // The exam's result line carries the lordly name.
        gameScreen()->exam().finish();
        const QStringList lines = scoreScreen()->scoreList->text().split(
            QRegularExpression("\\r?\\n"), Qt::SkipEmptyParts);
        QVERIFY(!lines.isEmpty());
        QVERIFY2(lines.last().startsWith(kLordly + " - "), qPrintable(lines.last()));
    }

    // Pasted at once, the name enters the lordly mode without the waiting text.
    void lordlyPasted()
    {
        start(kAll);
        menuScreen()->nameField->selectAll();
        const QStringList seen =
            headlinePerChange([] { menuScreen()->nameField->insert(kLordly); });
        QCOMPARE(seen, QStringList{QString::fromUtf8("Да здравствует повелитель!")});
        verifyLordly();
    }

    // One letter in other case, or a trailing blank, changes nothing. A letter after "wenK" other
    // than the fifth leaves the waiting text until the pointer moves over the bare menu; deleting
    // back to "wenK" shows it again.
    void nearMisses()
    {
        start(kAll);
        music().takeLog();
        for (const QString &text :
             {QString("wenkT"), QString("WenKT"), QString("wenKt"), QString("wenKT ")}) {
            menuScreen()->nameField->setText(text);
            QCOMPARE(menuScreen()->newGameButton->caption(), QString::fromUtf8("Новая игра"));
            QVERIFY(menuScreen()->nameField->isEnabled());
        }
        QCOMPARE(menuScreen()->windowTitle(), QString::fromUtf8("Меню \"PEMy -и Зольмар\""));
        QCOMPARE(music().takeLog(), QStringList());

        menuScreen()->nameField->setText("wenK");
        QTest::keyClick(menuScreen()->nameField, Qt::Key_X);
        QCOMPARE(menuScreen()->headline->caption(), kWaiting);
        menuScreen()->onBackgroundHovered();
        QCOMPARE(menuScreen()->headline->caption(), QString::fromUtf8("PEMy и Зольмар!"));
        QTest::keyClick(menuScreen()->nameField, Qt::Key_Backspace);
        QCOMPARE(menuScreen()->nameField->text(), QString("wenK"));
        QCOMPARE(menuScreen()->headline->caption(), kWaiting);
    }

    // With the sound switched off the lordly piece still plays, and the switch keeps its off icon.
    void lordlyWithSoundOff()
    {
        start(kAll);
        menuScreen()->onSoundSwitchClicked();
        music().takeLog();
        menuScreen()->nameField->setText(kLordly);
        QCOMPARE(music().takeLog(), (QStringList{"close", "open pms.mid", "play"}));
        QCOMPARE(menuScreen()->musicPlayer->mode(), MusicPlayer::Mode::Playing);
        QVERIFY(!shellMusic().soundOn());
        QCOMPARE(menuScreen()->soundSwitch->picture(), icon("Base\\image\\Ico\\sof.bmp"));
    }

    // With no piece open the stop step of the single pieces is refused: the error box shows it, the
    // lordly captions are not set and the about piece does not start.
    void singlePiecesWithoutOpenPiece()
    {
        start(kNoMusic);
        m_screens->write("base/soundLite/pms.mid", "midi");
        m_screens->write("base/soundLite/pms1.mid", "midi");
        menuScreen()->nameField->setText(kLordly);
        QCOMPARE(ErrorBox::openTexts(), QStringList{"No MCI device open."});
        QCOMPARE(shellMusic().repeat(), MusicRules::Repeat::SinglePiece);
        QCOMPARE(menuScreen()->newGameButton->caption(), QString::fromUtf8("Новая игра"));
        QVERIFY(menuScreen()->nameField->isEnabled());
        QCOMPARE(menuScreen()->windowTitle(), QString::fromUtf8("Меню \"PEMy -и Зольмар\""));
        QCOMPARE(gameScreen()->exitButton->caption(), QString::fromUtf8("Выход"));

        ErrorBox::closeAll();
        guarded([] { menuScreen()->onAboutClicked(); });
        QVERIFY(aboutScreen()->isVisible());
        QCOMPARE(ErrorBox::openTexts(), QStringList{"No MCI device open."});
        QCOMPARE(music().takeLog(), QStringList());
    }

private:
    // Creates the screens with the music files named by `files`.
    void start(int files)
    {
        if (files & kMp3) {
            m_screens->write("base/sound/pms.mp3", "mp3");
            m_screens->write("base/sound/pms2.mp3", "mp3");
        }
        if (files & kMidi) {
            m_screens->write("base/soundLite/pms.mid", "midi");
            m_screens->write("base/soundLite/pms1.mid", "midi");
        }
        m_screens->create();
        QVERIFY(FakeMusic::current);
        QCOMPARE(shellMusic().echoGuard()->interval(), 100);
        // The tests stand in for the 100 ms of the echo guard by firing it; left running, a slow
        // moment of a busy machine would let it clear the lock before an echo is delivered.
        shellMusic().echoGuard()->setInterval(24 * 3600 * 1000);
    }

    static QImage icon(const QString &gamePath)
    {
        return Pictures::loadTransparentBitmap(AssetPath::resolve(gamePath));
    }

    // The headline after each change of the name field that `edit` makes.
    static QStringList headlinePerChange(const std::function<void()> &edit)
    {
        QStringList seen;
        // Connected after the screen's own slot, so it runs after it.
        const QMetaObject::Connection watch =
            QObject::connect(menuScreen()->nameField, &LineEdit::textChanged,
                             [&seen] { seen << menuScreen()->headline->caption(); });
        edit();
        QObject::disconnect(watch);
        return seen;
    }

    static void verifyLordly()
    {
        const QString welcome = QString::fromUtf8("Добро пожаловать! Повелитель!");
        QCOMPARE(menuScreen()->newGameButton->caption(), QString::fromUtf8("Развлечения!"));
        QCOMPARE(menuScreen()->scoresButton->caption(), QString::fromUtf8("Суета и тлен!"));
        QCOMPARE(menuScreen()->aboutButton->caption(), QString::fromUtf8("О господине!"));
        QCOMPARE(menuScreen()->exitButton->caption(), QString::fromUtf8("Устали Сир?"));
        QCOMPARE(menuScreen()->namePrompt->caption(), QString::fromUtf8("Ваше имя! Милорд!"));
        QCOMPARE(menuScreen()->nameField->text(), kLordly);
        QVERIFY(!menuScreen()->nameField->isEnabled());
        QCOMPARE(menuScreen()->windowTitle(), welcome);
        QCOMPARE(gameScreen()->windowTitle(), welcome);
        QCOMPARE(menuScreen()->headline->caption(),
                 QString::fromUtf8("Да здравствует повелитель!"));
        QCOMPARE(gameScreen()->exitButton->caption(),
                 QString::fromUtf8("Всё, что пожелаете Милорд!"));
    }

    std::unique_ptr<ScreenFixture> m_screens;
};

QTEST_MAIN(TestMenuMusic)
#include "test_MenuMusic.moc"
