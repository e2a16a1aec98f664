#include "app/Screens.h"
#include "toolkit/ErrorBox.h"
#include "toolkit/Scaling.h"

#include <QApplication>

// The program entry `pemy`: no arguments are read, no environment, no settings.
int main(int, char **argv)
{
    // The toolkit sees only the program's name, so no argument can change its behaviour either.
    int toolkitArgc = 1;
    char *toolkitArgv[] = {argv[0], nullptr};
    Scaling::useDisplayDpi();
    QApplication app(toolkitArgc, toolkitArgv);
    QApplication::setApplicationName(QString::fromUtf16(ErrorBox::kTitle));
    // Closing the game or the score window only hides it; the program ends with the menu.
    QApplication::setQuitOnLastWindowClosed(false);

    Screens::startUp();
    const int code = QApplication::exec();
    Screens::destroyAll();
    return code;
}
