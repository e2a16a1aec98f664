#include "app/Shell.h"

#include "about/AboutScreen.h"
#include "game/ExamResult.h"
#include "game/GameScreen.h"
#include "menu/MenuScreen.h"
#include "score/ScoreScreen.h"
#include "toolkit/EnterKeyRouter.h"
#include "toolkit/ErrorBox.h"
#include "toolkit/Guard.h"
#include "toolkit/ScaledStyle.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <optional>

namespace {

// The music starts and the hidden screens are created by then even if the menu is never painted
// (started minimised).
constexpr int kRestOfStartUpAtLatestMs = 1000;

} // namespace

Shell::Shell(Start start)
{
    ScaledStyle::install();
    // At the program's start, boxes raised while the menu is made wait until it is shown.
    std::optional<ErrorBox::Hold> boxesAfterTheMenu;
    if (start == Start::MenuFirst)
        boxesAfterTheMenu.emplace();
    createMenu();
    if (start == Start::AllAtOnce) {
        createRest();
    } else {
        qApp->installEventFilter(this);
        QTimer::singleShot(kRestOfStartUpAtLatestMs, this, &Shell::createRest);
    }
    m_menu->show();
}

Shell::~Shell()
{
    ErrorBox::closeAll();
    delete m_enterRouter;
    delete m_about;
    delete m_scores;
    delete m_game;
    delete m_menu;
}

// An error while a screen is set up ends that set-up only; it is shown and start-up goes on.
void Shell::createMenu()
{
    m_menu = new MenuScreen(m_music);
    m_enterRouter = new EnterKeyRouter({m_menu});
    connectGuarded(m_enterRouter, &EnterKeyRouter::enterPressed, m_menu, &MenuScreen::enterAction);
    qApp->installEventFilter(m_enterRouter);
    connectMenu();
}

void Shell::createRest()
{
    if (m_game)
        return;
    // From now on no event needs to pass through the shell.
    qApp->removeEventFilter(this);
    guarded([this] { m_music.start(); });
    m_game = new GameScreen;
    guarded([this] { m_game->loadFiles(); });
    m_scores = new ScoreScreen;
    guarded([this] { m_scores->loadScoreFile(); });
    m_about = new AboutScreen;
    m_enterRouter->setScreens({m_menu, m_game, m_scores, m_about});
    connectRest();
}

// Every handler of the menu may reach the other screens or the music, so no click or key is
// handled before the rest of the start-up: the first one runs it.
bool Shell::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Paint:
        if (watched == m_menu && !m_restQueued) {
            m_restQueued = true; // after this paint has reached the screen
            QMetaObject::invokeMethod(this, &Shell::createRest, Qt::QueuedConnection);
        }
        break;
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::Close:
        createRest();
        break;
    default:
        break;
    }
    return false;
}

// The menu's own switches. Closing the menu, or its "Выход", ends the program.
void Shell::connectMenu()
{
    connect(m_menu, &MenuScreen::quitRequested, qApp, &QApplication::quit);
    connect(m_menu, &MenuScreen::scoresRequested, this, &Shell::showScores);
    connect(m_menu, &MenuScreen::aboutRequested, this, &Shell::showAbout);
}

// The switches that involve the game, score and about screens, once they exist.
void Shell::connectRest()
{
    connect(m_menu, &MenuScreen::examStarted, this, &Shell::startExam);
    connect(m_menu, &MenuScreen::hiddenPanelsRequested, m_game, &GameScreen::showReadout);
    connect(m_menu, &MenuScreen::lordlyModeEntered, this, &Shell::enterLordlyMode);
    connect(m_game, &GameScreen::examFinished, this, &Shell::showResult);
    connect(m_game, &GameScreen::quitRequested, qApp, &QApplication::quit);
    connect(m_scores, &ScoreScreen::backRequested, this, &Shell::backFromScores);
    connect(m_about, &AboutScreen::backRequested, this, &Shell::backFromAbout);
}

void Shell::showScores()
{
    m_scores->showScreen();
    m_menu->hide();
}

// The about piece starts once the about screen is up; a piece that cannot start is reported.
void Shell::showAbout()
{
    m_about->showScreen();
    m_menu->hide();
    guarded([this] { m_music.aboutOpened(); });
}

// The loading is complete. An about screen left open (Enter on it) stays beside the exam.
void Shell::startExam()
{
    m_game->startExam();
    m_menu->hide();
    m_scores->hide();
}

void Shell::enterLordlyMode()
{
    m_game->enterLordlyMode(m_menu->windowTitle());
}

// The result goes to the end of the list under the name that the menu holds now.
void Shell::showResult(int copied, bool caught)
{
    m_game->hide();
    m_scores->showScreen();
    m_scores->appendLine(ExamResult::separator());
    m_scores->appendLine(ExamResult::resultLine(m_menu->playerName(), copied, caught));
}

// A piece that cannot be played is reported, but never keeps the player from the menu; the score
// screen saves the list after this.
void Shell::backFromScores()
{
    guarded([this] { m_music.backFromScores(); });
    m_scores->hide();
    m_menu->returnFromScores();
}

void Shell::backFromAbout()
{
    m_music.backFromAbout();
    m_about->hide();
    m_menu->showScreen();
}
