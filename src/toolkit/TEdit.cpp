#include "toolkit/TEdit.h"

#include "toolkit/Cp1251.h"

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

TEdit::TEdit(QWidget *parent) : Control<QLineEdit>(parent)
{
    setValidator(new Cp1251Validator(this));
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (onChange)
            guarded(onChange);
    });
}
