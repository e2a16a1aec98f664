#include "toolkit/TFlatButton.h"

TFlatButton::TFlatButton(QWidget *parent, const QString &caption) : Control<QLabel>(caption, parent)
{
    setAlignment(Qt::AlignCenter);
    setFrameShape(QFrame::NoFrame);
}

void TFlatButton::enterEvent(QEnterEvent *event)
{
    Control<QLabel>::enterEvent(event);
    if (isEnabled()) {
        setFrameShape(QFrame::Panel);
        setFrameShadow(QFrame::Raised);
    }
}

void TFlatButton::leaveEvent(QEvent *event)
{
    Control<QLabel>::leaveEvent(event);
    setFrameShape(QFrame::NoFrame);
}
