// The floor of the whole-program figures: one empty Qt Widgets window of the menu's size, built by
// the same CMake with the same compiler and flags as the game, and measured side by side with it.
// It does nothing the game's start-up must do; what the game costs above it is the game's own.

#include <QApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("empty window"));
    // The menu's client area is 688 × 440 pixels at 120 dots per inch, scaled like the game's
    // layouts.
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double scale = screen ? screen->logicalDotsPerInch() / 120.0 : 1.0;
    window.setFixedSize(int(std::lround(688 * scale)), int(std::lround(440 * scale)));
    window.show();
    return app.exec();
}
