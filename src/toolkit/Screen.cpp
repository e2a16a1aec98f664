#include "toolkit/Screen.h"

#include "toolkit/Guard.h"
#include "toolkit/Scaling.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QGuiApplication>
#include <QScreen>

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

    if (const QScreen *desktop = QGuiApplication::primaryScreen()) {
        const QRect area = desktop->availableGeometry();
        move(area.center() - rect().center());
    }
}

void Screen::showScreen()
{
    show();
    raise();
    activateWindow();
}

void Screen::closeEvent(QCloseEvent *event)
{
    if (onClose) {
        event->ignore();
        guarded(onClose);
        return;
    }
    QWidget::closeEvent(event);
}

void Screen::mouseMoveEvent(QMouseEvent *event)
{
    event->accept();
    if (onMouseMove)
        guarded(onMouseMove);
}
