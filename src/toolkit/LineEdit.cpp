#include "toolkit/LineEdit.h"

#include "formats/Cp1251.h"

#include <QFocusEvent>
#include <QValidator>

namespace {

// Rewrites the text in place, so typing and pasting both end in the code page.
class Cp1251Validator : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString &input, int &) const override
    {
        input = Cp1251::sanitize(input);
        return Acceptable;
    }
};

} // namespace

LineEdit::LineEdit(QWidget *parent) : Control<QLineEdit>(parent)
{
    setValidator(new Cp1251Validator(this));
}

void LineEdit::focusInEvent(QFocusEvent *event)
{
    const bool shown = m_shownSinceFocus;
    m_shownSinceFocus = false;
    Control<QLineEdit>::focusInEvent(event);
    bool selectAll = false;
    switch (event->reason()) {
    case Qt::MouseFocusReason:
    case Qt::PopupFocusReason:
        break;
    case Qt::ActiveWindowFocusReason:
        selectAll = shown;
        break;
    default:
        selectAll = true;
        break;
    }
    if (selectAll)
        this->selectAll();
}

void LineEdit::showEvent(QShowEvent *event)
{
    // Spontaneous shows are the desktop's (a window restored from its minimised state), not the
    // game's.
    if (!event->spontaneous())
        m_shownSinceFocus = true;
    Control<QLineEdit>::showEvent(event);
}
