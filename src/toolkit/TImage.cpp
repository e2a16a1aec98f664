#include "toolkit/TImage.h"

#include <QPainter>

TImage::TImage(QWidget *parent) : Control<QWidget>(parent) {}

void TImage::setPicture(const QImage &picture)
{
    m_picture = picture;
    if (m_autoSize && !m_picture.isNull())
        resize(m_picture.size());
    update();
}

void TImage::setAutoSize(bool autoSize)
{
    m_autoSize = autoSize;
    if (m_autoSize && !m_picture.isNull())
        resize(m_picture.size());
}

void TImage::paintEvent(QPaintEvent *)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(0, 0, m_picture);
}
