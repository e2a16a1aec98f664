#pragma once

#include "toolkit/Control.h"

#include <QWidget>

// A lowered box frame. It takes the pointer over its whole rectangle, like any control.
class Bevel : public Control<QWidget> {
    Q_OBJECT
public:
    explicit Bevel(QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;
};
