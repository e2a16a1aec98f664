#include "toolkit/PictureBox.h"

#include "toolkit/Scaling.h"

#include <QPainter>

PictureBox::PictureBox(QWidget *parent) : Control<QWidget>(parent) {}

void PictureBox::setPicture(const QImage &picture)
{
    m_picture = picture;
    if (m_autoSize && !m_picture.isNull())
        resize(Scaling::size(m_picture.size()));
    update();
}

void PictureBox::setAutoSize(bool autoSize)
{
    m_autoSize = autoSize;
    if (m_autoSize && !m_picture.isNull())
        resize(Scaling::size(m_picture.size()));
}

void PictureBox::paintEvent(QPaintEvent *)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    // The picture's pixels are the layout's: off a 120-dpi screen it is resampled to scale.
    const QSize shown = Scaling::size(m_picture.size());
    if (shown == m_picture.size()) {
        painter.drawImage(0, 0, m_picture);
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(QPoint(0, 0), shown), m_picture);
}
