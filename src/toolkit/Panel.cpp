#include "toolkit/Panel.h"

#include <QPainter>

Panel::Panel(QWidget *parent, const QColor &background, bool raisedBevel)
    : Control<QWidget>(parent), m_background(background), m_raisedBevel(raisedBevel)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void Panel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_background);
    if (!m_raisedBevel)
        return;
    const QRect r = rect().adjusted(0, 0, -1, -1);
    painter.setPen(Qt::white);
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(QColor(128, 128, 128));
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
}
