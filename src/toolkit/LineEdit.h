#pragma once

#include "toolkit/Control.h"

#include <QLineEdit>

// A single-line edit field. It holds only what Windows-1251 can hold: any other typed or pasted
// character becomes "?". textChanged() comes on every change of the text, whether typed, pasted
// or set by code.
//
// Like the single-line fields players know, it selects its whole text when it gets the focus by the
// keyboard, by code, or by its window being shown, so the first key replaces what it holds; a mouse
// click places the caret instead, and coming back to a window that was only in the background (a
// box closed, another program left) keeps the caret and the selection where they were.
class LineEdit : public Control<QLineEdit> {
    Q_OBJECT
public:
    explicit LineEdit(QWidget *parent);

protected:
    void focusInEvent(QFocusEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    // Set while the field has been shown and not yet focused since: the focus that its window
    // passes on when it becomes active then counts as the focus of a screen being shown.
    bool m_shownSinceFocus = true;
};
