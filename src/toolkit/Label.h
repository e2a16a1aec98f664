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

signals:
    // The pointer moved over the label; every move.
    void hovered();
    // A left press and release over the label.
    void clicked();

protected:
    void pointerMoved() override { emit hovered(); }
    void leftClicked() override { emit clicked(); }

private:
    void fitWidth();

    bool m_autoSize = false;
};
