#pragma once

#include "toolkit/Control.h"

#include <QLabel>

// A text label drawn on its parent. Transparent unless it is given a background colour. With
// auto-size on, it keeps its left edge and height and takes the width of its caption.
class Label : public Control<QLabel> {
    Q_OBJECT
public:
    explicit Label(QWidget *parent, const QString &caption = {});

    QString caption() const { return text(); }
    void setCaption(const QString &caption);

    void setBackground(const QColor &color);
    void setAutoSize(bool autoSize);

private:
    void fitWidth();

    bool m_autoSize = false;
};
