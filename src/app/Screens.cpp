#include "app/Screens.h"

#include "about/AboutScreen.h"
#include "game/GameScreen.h"
#include "menu/MenuScreen.h"
#include "score/ScoreScreen.h"
#include "toolkit/EnterKeyRouter.h"
#include "toolkit/ErrorBox.h"
#include "toolkit/Guard.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

MenuScreen *menuf = nullptr;
GameScreen *gamef = nullptr;
ScoreScreen *scoref = nullptr;
AboutScreen *aboutf = nullptr;

namespace {

EnterKeyRouter *enterRouter = nullptr;

// The hidden screens are created by then even if the menu is never painted (started minimised).
constexpr int RestOfStartUpAtLatestMs = 1000;

// An error in a creation handler ends that handler only; it is shown and start-up goes on.
void createMenu()
{
    menuf = new MenuScreen;
    guarded([] { menuf->FormCreate(); });
    enterRouter = new EnterKeyRouter({menuf}, [] { menuf->enterAction(); });
    qApp->installEventFilter(enterRouter);
}

void createRest()
{
    gamef = new GameScreen;
    guarded([] { gamef->FormCreate(); });
    scoref = new ScoreScreen;
    guarded([] { scoref->FormCreate(); });
    aboutf = new AboutScreen;
    enterRouter->setScreens({menuf, gamef, scoref, aboutf});
}

// Creates the hidden screens once the menu has been painted for the first time, or at once when
// the player acts before that: every handler of the menu may reach the other screens, so no
// click or key may be handled while they are missing.
class RestOfStartUp : public QObject {
public:
    RestOfStartUp()
    {
        qApp->installEventFilter(this);
        QTimer::singleShot(RestOfStartUpAtLatestMs, this, [this] { finish(); });
    }
    ~RestOfStartUp() override { qApp->removeEventFilter(this); }

    void finish()
    {
        if (m_done)
            return;
        m_done = true;
        qApp->removeEventFilter(this);
        createRest();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::Paint:
            if (watched == menuf && !m_queued) {
                m_queued = true; // after this paint has reached the screen
                QMetaObject::invokeMethod(this, [this] { finish(); }, Qt::QueuedConnection);
            }
            break;
        case QEvent::KeyPress:
        case QEvent::ShortcutOverride:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::Close:
            finish();
            break;
        default:
            break;
        }
        return false;
    }

private:
    bool m_queued = false;
    bool m_done = false;
};

RestOfStartUp *restOfStartUp = nullptr;

} // namespace

namespace Screens {

void createAll()
{
    createMenu();
    createRest();
    menuf->show();
}

void startUp()
{
    const ErrorBox::Hold boxesAfterTheMenu;
    createMenu();
    restOfStartUp = new RestOfStartUp;
    menuf->show();
}

void destroyAll()
{
    ErrorBox::closeAll();
    delete restOfStartUp;
    restOfStartUp = nullptr;
    delete enterRouter;
    enterRouter = nullptr;
    delete aboutf;
    delete scoref;
    delete gamef;
    delete menuf;
    aboutf = nullptr;
    scoref = nullptr;
    gamef = nullptr;
    menuf = nullptr;
}

} // namespace Screens
