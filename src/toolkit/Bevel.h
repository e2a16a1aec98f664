#pragma once

#include "toolkit/Control.h"

#include <QWidget>

// A lowered box frame. It takes the pointer over its whole rectangle, like any control.
class Bevel : public Control<QWidget> {
    Q_OBJECT
public:
    explicit Bevel(QWidget *parent);

signals:
    // The pointer moved over the frame; every move.
    void hovered();
    // A left press and release over the frame.
    void clicked();

protected:
    void pointerMoved() override { emit hovered(); }
    void leftClicked() override { emit clicked(); }
    void paintEvent(QPaintEvent *event) override;
};
