#pragma once

#include "toolkit/Control.h"

#include <QWidget>

// A lowered box frame. It takes the pointer over its whole rectangle, like any control.
class TBevel : public Control<QWidget> {
public:
    explicit TBevel(QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;
};
