#pragma once

#include "toolkit/Control.h"

#include <QPlainTextEdit>

// A multi-line text box whose lines are centred and wrapped. Its text uses CR LF between lines, as
// the files that it shows. It holds only what Windows-1251 can hold: any other typed or pasted
// character becomes "?".
//
// The box keeps its text itself and gives back exactly what it was given and what was appended,
// with the player's own edits: its document only shows the text (a document would turn a no-break
// space into a space, for one). Only the lines in view are laid out, so a long list shows at once.
// A line longer than kShownPiece characters is shown as pieces of that length, each wrapped on its
// own, because laying out one huge line without spaces takes time that grows with the square of its
// length; the text itself keeps the line whole.
class TMemo : public Control<QPlainTextEdit> {
public:
    explicit TMemo(QWidget *parent);

    // The whole text, lines separated by CR LF.
    QString text() const;
    // Replaces the whole text; `text` has CR LF line breaks. The view goes to the top.
    void setText(const QString &text);
    // Adds `text` (CR LF line breaks) at the very end. The view does not move.
    void appendRaw(const QString &text);
    // Scrolls so that the last line is in view.
    void scrollToEnd();

    // The longest piece of one line that is laid out as one paragraph.
    static constexpr int kShownPiece = 2048;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    // Marks the blocks `firstBlock` + each of `continuations` as pieces of the line before them.
    void markContinuations(int firstBlock, const QList<int> &continuations);
    // Brings m_text up to the player's edits.
    void takeEdits() const;
    // The text as the document now holds it, after the player's edits.
    QString documentText() const;

    // The text; behind the document while m_edited is set.
    mutable QString m_text;
    // The player changed the document since m_text was last taken from it.
    mutable bool m_edited = false;
    // Set while the box itself changes its document, so that only the player's changes count as edits.
    bool m_showing = false;
};
