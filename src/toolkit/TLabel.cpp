#include "toolkit/TLabel.h"

TLabel::TLabel(QWidget *parent, const QString &caption) : Control<QLabel>(caption, parent)
{
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setMargin(0);
    setIndent(0);
}

void TLabel::setCaption(const QString &caption)
{
    if (caption == text())
        return;
    setText(caption);
    fitWidth();
}

void TLabel::setBackground(const QColor &color)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, color);
    setPalette(pal);
    setAutoFillBackground(true);
}

void TLabel::setAutoSize(bool autoSize)
{
    m_autoSize = autoSize;
    fitWidth();
}

void TLabel::fitWidth()
{
    if (m_autoSize)
        resize(fontMetrics().horizontalAdvance(text()), height());
}
