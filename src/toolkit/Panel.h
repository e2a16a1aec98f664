#pragma once

#include "toolkit/Control.h"

#include <QWidget>

// A container with a plain background colour and, optionally, a raised bevel at its edge.
class Panel : public Control<QWidget> {
    Q_OBJECT
public:
    Panel(QWidget *parent, const QColor &background, bool raisedBevel);

    QColor background() const { return m_background; }
    bool raisedBevel() const { return m_raisedBevel; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_background;
    bool m_raisedBevel;
};
