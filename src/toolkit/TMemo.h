#pragma once

#include "toolkit/Control.h"

#include <QTextEdit>

// A multi-line text box whose lines are centred and wrapped. Its text uses CR LF between lines, as
// the files that it shows. It holds only what Windows-1251 can hold: any other typed or pasted
// character becomes "?".
class TMemo : public Control<QTextEdit> {
public:
    explicit TMemo(QWidget *parent);

    // The whole text, lines separated by CR LF.
    QString text() const;
    // Replaces the whole text; `text` has CR LF line breaks.
    void setText(const QString &text);
    // Adds `text` (CR LF line breaks) at the very end.
    void appendRaw(const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    void centreAllLines();
};
