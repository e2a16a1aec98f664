#include "toolkit/FlatButton.h"

FlatButton::FlatButton(QWidget *parent, const QString &caption) : Control<QLabel>(caption, parent)
{
    setAlignment(Qt::AlignCenter);
    setFrameShape(QFrame::NoFrame);
}

void FlatButton::enterEvent(QEnterEvent *event)
{
    Control<QLabel>::enterEvent(event);
    if (isEnabled()) {
        setFrameShape(QFrame::Panel);
        setFrameShadow(QFrame::Raised);
    }
}

void FlatButton::leaveEvent(QEvent *event)
{
    Control<QLabel>::leaveEvent(event);
    setFrameShape(QFrame::NoFrame);
}
