#include "toolkit/Label.h"

Label::Label(QWidget *parent, const QString &caption) : Control<QLabel>(caption, parent)
{
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setMargin(0);
    setIndent(0);
}

void Label::setCaption(const QString &caption)
{
    if (caption == text())
        return;
    setText(caption);
    fitWidth();
}

void Label::setBackground(const QColor &color)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, color);
    setPalette(pal);
    setAutoFillBackground(true);
}

void Label::setAutoSize(bool autoSize)
{
    m_autoSize = autoSize;
    fitWidth();
}

void Label::fitWidth()
{
    if (m_autoSize)
        resize(fontMetrics().horizontalAdvance(text()), height());
}
