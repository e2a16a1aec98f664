#pragma once

#include "toolkit/Control.h"

#include <QPlainTextEdit>

// A multi-line text box whose lines are centred and wrapped. Its text uses CR LF between lines, as
// the files that it shows. It holds only what Windows-1251 can hold: any other typed or pasted
// character becomes "?", and every line break that the player types or pastes (Shift+Enter, the
// Unicode line and paragraph separators, CR, LF) is a line break of the text, CR LF.
//
// The document is the only copy of the text, and it holds it compactly: short lines share one
// paragraph, separated by line separators (U+2028), up to kShownPiece characters a paragraph, so
// that a list of hundreds of thousands of lines costs little more than its characters and loads at
// once (a paragraph a line would cost some 500 bytes a line). The text gives back exactly what it
// was given (block texts keep the no-break spaces that the document's plain text would turn into
// spaces). Only the paragraphs in view are laid out.
// A line longer than kShownPiece characters is shown as pieces of at most that length, each wrapped
// on its own and ending after its last space where it has one, because laying out one huge line
// without spaces takes time that grows with the square of its length; the text keeps the line
// whole, and Backspace and Delete at a piece's edge remove the neighbouring character of the line.
class MultiLineEdit : public Control<QPlainTextEdit> {
    Q_OBJECT
public:
    explicit MultiLineEdit(QWidget *parent);

    // The whole text, lines separated by CR LF.
    QString text() const;
    // Whether the text is empty or ends with a line break, that is whether its last line is empty.
    bool endsWithEmptyLine() const;
    // Replaces the whole text; `text` has CR LF line breaks. The view goes to the top. A text
    // moved in is freed before the document takes its copy.
    void setText(QString text);
    // Adds `text` (CR LF line breaks) at the very end. The view does not move.
    void appendRaw(const QString &text);
    // Scrolls so that the last line is in view.
    void scrollToEnd();

    // The most characters of one paragraph: the longest piece of one line, and the most that
    // short lines sharing a paragraph take together.
    static constexpr int kShownPiece = 2048;

protected:
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    // What the document shows for a piece of text (built in the source).
    struct Shown;
    // Inserts `shown` at the end of the document, the block that it continues being `firstBlock`.
    void showAtEnd(const Shown &shown, int firstBlock);
    // Gives the box the number of lines in view that it has at 120 dpi (see the source).
    void fitLines();
    // Backspace or Delete at the edge of a piece: removes the neighbouring character of the line.
    // Returns false where the edit is an ordinary one.
    bool deleteAcrossPieceEdge(bool backward);
};
