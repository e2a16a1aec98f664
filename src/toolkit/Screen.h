#pragma once

#include "toolkit/Pointer.h"

#include <QWidget>

// A top-level screen of the game: a fixed-size window, centred on the desktop each time it opens
// (with its frame, where the window manager tells it), with a client area given in design pixels
// (scaled like everything else). Framed screens have a title bar with the system menu, the
// minimise box and the close box only; the borderless one has neither.
// Closing a screen only hides it, unless closing is made a request (setCloseRequests).
class Screen : public QWidget {
    Q_OBJECT
public:
    enum class Frame { Single, None };

    Screen(const QString &caption, int clientWidth, int clientHeight, Frame frame,
           const QColor &background);

    // With requests on, closing the window by the desktop's means emits closeRequested() instead
    // of hiding it.
    void setCloseRequests(bool requests) { m_closeRequests = requests; }

    // Shows the screen and brings it to the front.
    void showScreen();

    // Its hovered(): the pointer moved over the bare screen, outside every control.
    Pointer *pointer() const { return m_pointer; }

signals:
    // The desktop asked to close the window, and close requests are on.
    void closeRequested();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    // Places the client area in the middle of the desktop's free area, where a screen not yet shown
    // stands.
    void centre();

    Pointer *const m_pointer = new Pointer(this);
    bool m_closeRequests = false;
};
