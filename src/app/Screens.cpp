#include "app/Screens.h"

#include "about/Taboutf.h"
#include "game/Tgamef.h"
#include "menu/Tmenuf.h"
#include "score/Tscoref.h"
#include "toolkit/EnterKeyRouter.h"
#include "toolkit/ErrorBox.h"
#include "toolkit/Guard.h"

#include <QApplication>

Tmenuf *menuf = nullptr;
Tgamef *gamef = nullptr;
Tscoref *scoref = nullptr;
Taboutf *aboutf = nullptr;

namespace {
EnterKeyRouter *enterRouter = nullptr;
} // namespace

namespace Screens {

void createAll()
{
    // An error in a creation handler ends that handler only; it is shown and start-up goes on.
    menuf = new Tmenuf;
    guarded([] { menuf->FormCreate(); });
    gamef = new Tgamef;
    guarded([] { gamef->FormCreate(); });
    scoref = new Tscoref;
    guarded([] { scoref->FormCreate(); });
    aboutf = new Taboutf;

    enterRouter = new EnterKeyRouter({menuf, gamef, scoref, aboutf}, [] { menuf->enterAction(); });
    qApp->installEventFilter(enterRouter);

    menuf->show();
}

void destroyAll()
{
    ErrorBox::closeAll();
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
