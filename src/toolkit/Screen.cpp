#include "toolkit/Screen.h"

#include "toolkit/Scaling.h"
#include "toolkit/WindowFrame.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QWindow>

Screen::Screen(const QString &caption, int clientWidth, int clientHeight, Frame frame,
               const QColor &background)
    : QWidget(nullptr)
{
    Qt::WindowFlags flags = Qt::Window;
    if (frame == Frame::Single)
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
            | Qt::MSWindowsFixedSizeDialogHint;
    else
        flags |= Qt::FramelessWindowHint;
    setWindowFlags(flags);
    setWindowTitle(caption);
    setFixedSize(Scaling::px(clientWidth), Scaling::px(clientHeight));

    QPalette pal = palette();
    pal.setColor(QPalette::Window, background);
    setPalette(pal);
    setAutoFillBackground(true);
    setMouseTracking(true);
    centre();
}

void Screen::centre()
{
    if (const QScreen *desktop = QGuiApplication::primaryScreen()) {
        const QRect area = desktop->availableGeometry();
        setGeometry(QRect(area.center() - rect().center(), size()));
    }
}

void Screen::showScreen()
{
    show();
    raise();
    activateWindow();
}

void Screen::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Every show of a hidden screen opens it centred, as a whole, before it is mapped: the window
    // manager may not keep the place of a window that was unmapped (weston under X11 and Wayland
    // does not). The request is the client area's place, the same on every show, so a manager that
    // reads the frame's size differently from the toolkit cannot shift it. (A window restored from
    // the task bar is the desktop's show, and stays where it was.)
    if (!event->spontaneous())
        WindowFrame::centre(this);
}

void Screen::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // A screen that the game hides gives up its native window, so that showing it again opens a new
    // one where the game puts it: a window manager may place a window that comes back elsewhere
    // (weston's X11 frames move it by their shadow's width each time). Not when minimised.
    QTimer::singleShot(0, this, [this] {
        if (isHidden() && windowHandle())
            windowHandle()->destroy();
    });
}

void Screen::closeEvent(QCloseEvent *event)
{
    if (m_closeRequests) {
        event->ignore();
        emit closeRequested();
        return;
    }
    QWidget::closeEvent(event);
}

void Screen::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
    emit m_pointer->hovered();
}
