#pragma once

#include "toolkit/Control.h"

#include <QLabel>

// A flat text button: its caption on the parent's surface, centred, with a thin raised border while
// the pointer is over it. Disabled, it draws its caption greyed and lets the pointer through.
class FlatButton : public Control<QLabel> {
    Q_OBJECT
public:
    explicit FlatButton(QWidget *parent, const QString &caption = {});

    QString caption() const { return text(); }
    // Setting the caption it already has changes nothing and repaints nothing.
    void setCaption(const QString &caption)
    {
        if (caption != text())
            setText(caption);
    }

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
};
