#pragma once

#include <QWidget>

#include <functional>

// A top-level screen of the game: a fixed-size window, centred on the desktop when created, with a
// client area given in design pixels (scaled like everything else). Framed screens have a title bar
// with the system menu, the minimise box and the close box only; the borderless one has neither.
// Closing a screen only hides it, unless it sets onClose.
class Screen : public QWidget {
    Q_OBJECT
public:
    enum class Frame { Single, None };

    Screen(const QString &caption, int clientWidth, int clientHeight, Frame frame,
           const QColor &background);

    // Runs instead of hiding when the window is closed by the desktop's means.
    std::function<void()> onClose;
    // Pointer moves over the bare screen, outside every control.
    std::function<void()> onMouseMove;

    // Shows the screen and brings it to the front.
    void showScreen();

protected:
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    // Places the client area in the middle of the desktop's free area.
    void centre();
};
