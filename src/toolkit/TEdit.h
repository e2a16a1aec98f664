#pragma once

#include "toolkit/Control.h"

#include <QLineEdit>

// A single-line edit field. It holds only what Windows-1251 can hold: any other typed or pasted
// character becomes "?". Its change handler runs on every change of the text, whether typed,
// pasted or set by code.
class TEdit : public Control<QLineEdit> {
public:
    explicit TEdit(QWidget *parent);

    std::function<void()> onChange;
};
