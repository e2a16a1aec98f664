#include "toolkit/MultiLineEdit.h"

#include "formats/Cp1251.h"
#include "toolkit/Scaling.h"

#include <QAbstractTextDocumentLayout>
#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace {

// The user state of a block that continues the line of the block before it (a piece of a long
// line); every other block starts a line of its own.
constexpr int kContinuation = 1;

// A line break inside a paragraph. Windows-1251 has no such character, so a text never holds one.
constexpr QChar kLineSeparator = QChar::LineSeparator;

const QString kCrLf = QStringLiteral("\r\n");

// The space between the list's edges and its text, in design pixels (Qt's own margin at 120 dpi).
constexpr int kTextMargin = 4;

// The height that the box's layout gives a line in `font`: whole pixels, rounded up.
double lineHeight(const QFont &font)
{
    QTextLayout layout(QStringLiteral("x"), font);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLeadingIncluded(true);
    layout.endLayout();
    return line.height() + (line.leading() < 0 ? std::ceil(line.leading()) : 0.0);
}

// A line break of the text as the document reads one: CR LF, or a lone CR or LF. Returns its
// length at `i`, 0 when there is none.
int breakAt(const QString &text, qsizetype i)
{
    const QChar c = text[i];
    if (c == u'\r')
        return i + 1 < text.size() && text[i + 1] == u'\n' ? 2 : 1;
    return c == u'\n' ? 1 : 0;
}

// The end of the line that starts at `from`.
qsizetype lineEnd(const QString &text, qsizetype from)
{
    while (from < text.size() && !breakAt(text, from))
        ++from;
    return from;
}

// How many characters of `line` the piece that starts it takes when at most `room` fit: up to
// and including its last space, when it has one there, so that no word is cut.
qsizetype pieceLength(QStringView line, qsizetype room)
{
    const qsizetype space = line.left(room).lastIndexOf(u' ');
    return space >= 0 ? space + 1 : room;
}

// Text typed or pasted by the player as the box keeps it: every kind of line break a CR LF
// break (U+2028 and U+2029 included), every character the code page cannot hold "?".
QString typedText(QString text)
{
    text.replace(kLineSeparator, u'\n').replace(QChar::ParagraphSeparator, u'\n');
    return Cp1251::sanitize(text);
}

} // namespace

// What the document shows for a text: its lines with a line separator between lines of one
// paragraph and "\n" (a block break) between paragraphs; the numbers of the blocks that continue
// a line, and each new block's count of lines (so that the scroll bar knows the list's length
// before the blocks are laid out), the block continued being 0.
struct MultiLineEdit::Shown {
    QString text;
    QList<int> continuations;
    QList<int> lineCounts;

    // `text` shown after a block of `column` characters whose last line it continues; with
    // `newBlock`, after a break that starts block 1 instead.
    Shown(const QString &text, qsizetype column, bool newBlock)
    {
        this->text.reserve(text.size() + 2);
        int block = 0;
        int lines = 1;
        const auto breakBlock = [&](bool continuation) {
            this->text += u'\n';
            lineCounts.append(lines);
            lines = 1;
            ++block;
            if (continuation)
                continuations.append(block);
            column = 0;
        };
        if (newBlock)
            breakBlock(false);
        for (qsizetype start = 0;;) {
            const qsizetype end = lineEnd(text, start);
            QStringView line = QStringView(text).mid(start, end - start);
            if (start > 0) {
                // A line after a break: in the same paragraph while both fit in it.
                if (column + 1 + line.size() <= kShownPiece) {
                    this->text += kLineSeparator;
                    ++column;
                    ++lines;
                } else {
                    breakBlock(false);
                }
            }
            while (column + line.size() > kShownPiece) {
                const qsizetype length = pieceLength(line, kShownPiece - column);
                this->text += line.left(length);
                line = line.mid(length);
                breakBlock(true);
            }
            this->text += line;
            column += line.size();
            if (end == text.size())
                break;
            start = end + breakAt(text, end);
        }
        lineCounts.append(lines);
    }
};

MultiLineEdit::MultiLineEdit(QWidget *parent) : Control<QPlainTextEdit>(parent)
{
    viewport()->setMouseTracking(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setFrameShape(QFrame::NoFrame);
    // The margin around the text scales with the rest, so that lines wrap where the design wraps.
    document()->setDocumentMargin(Scaling::px(kTextMargin));
    // The margins beside the text (see fitLines()) show the list's own background.
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    QTextOption option = document()->defaultTextOption();
    option.setAlignment(Qt::AlignHCenter);
    document()->setDefaultTextOption(option);
    // No undo: a history would keep every load and every appended line for the life of the
    // process, and the box offers no undo to the player.
    setUndoRedoEnabled(false);
}

// Lines take whole pixels, their height rounded up, which do not scale in step with the rest: 20
// px of bold Liberation Sans make lines of 23 px offscreen, and 28 and 37 px at 1.2 and 1.6 times
// that size, where the list's height grows by 1.2 and 1.6. So a list that fits at 120 dpi could
// need a line more at 144 and open a line down. As many lines as at 120 dpi are in view at every
// DPI: the margin above and below the text gives them the pixels they lack, as far as it goes.
// The margin beside the text stays (the viewport gives up what the document's margin no longer
// takes), so lines wrap where they did. The box shows a line in full only where a whole line fits
// between the margins, and keeps one pixel below it (Qt's own rule).
void MultiLineEdit::fitLines()
{
    const double factor = Scaling::factor();
    const int margin = Scaling::px(kTextMargin);
    const int height = this->height() - 2 * frameWidth();
    QFont design = font();
    design.setPixelSize(std::max(1, int(std::lround(font().pixelSize() / factor))));
    const int designHeight = int(std::lround(height / factor));
    const int lines = int((designHeight - 2 * kTextMargin - 1) / lineHeight(design));
    const int room = int(std::floor((height - 1 - lines * lineHeight(font())) / 2));
    const int fitted = std::clamp(room, 0, margin);
    // Only a change lays the document out again.
    document()->setDocumentMargin(fitted);
    setViewportMargins(margin - fitted, 0, margin - fitted, 0);
}

void MultiLineEdit::changeEvent(QEvent *event)
{
    Control<QPlainTextEdit>::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fitLines();
}

void MultiLineEdit::resizeEvent(QResizeEvent *event)
{
    Control<QPlainTextEdit>::resizeEvent(event);
    fitLines();
}

QString MultiLineEdit::text() const
{
    QString text;
    // A line break takes two characters where the document holds one; lines on screen are at
    // least as many as the text's.
    text.reserve(document()->characterCount() + document()->lineCount());
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block != document()->begin() && block.userState() != kContinuation)
            text += kCrLf;
        // The block's own characters: unlike the document's plain text, with no-break spaces kept.
        const QString shown = block.text();
        for (qsizetype from = 0;;) {
            const qsizetype separator = shown.indexOf(kLineSeparator, from);
            text += QStringView(shown).mid(from,
                                           separator < 0 ? shown.size() - from : separator - from);
            if (separator < 0)
                break;
            text += kCrLf;
            from = separator + 1;
        }
    }
    return text;
}

bool MultiLineEdit::endsWithEmptyLine() const
{
    // The last line goes back through the pieces that hold it.
    for (QTextBlock block = document()->lastBlock(); block.isValid(); block = block.previous()) {
        const QString shown = block.text();
        if (!shown.isEmpty())
            return shown.endsWith(kLineSeparator);
        if (block.userState() != kContinuation)
            return true;
    }
    return true;
}

void MultiLineEdit::setText(QString text)
{
    const Shown shown(Cp1251::sanitize(text), 0, false);
    text = QString();
    // The document's own replacement: the box's setPlainText() would also set the character
    // format of the whole text again, which costs a third more on a long list.
    document()->setPlainText(shown.text);
    showAtEnd(shown, 0);
    moveCursor(QTextCursor::Start);
}

void MultiLineEdit::appendRaw(const QString &text)
{
    const QString clean = Cp1251::sanitize(text);
    QTextBlock last = document()->lastBlock();
    const qsizetype column = last.length() - 1;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    // A new line that does not fit into the last paragraph begins one of its own: the break
    // before it becomes a block break.
    const bool newBlock =
        column > 0 && endsWithEmptyLine() && column + lineEnd(clean, 0) > kShownPiece;
    if (newBlock)
        cursor.deletePreviousChar();
    const Shown shown(clean, newBlock ? column - 1 : column, newBlock);
    last = document()->lastBlock();
    cursor.insertText(shown.text);
    showAtEnd(shown, last.blockNumber());
}

void MultiLineEdit::showAtEnd(const Shown &shown, int firstBlock)
{
    QTextBlock block = document()->findBlockByNumber(firstBlock);
    qsizetype continuation = 0;
    for (int number = 0; block.isValid(); block = block.next(), ++number) {
        if (continuation < shown.continuations.size()
            && shown.continuations[continuation] == number) {
            block.setUserState(kContinuation);
            ++continuation;
        }
        // Each line takes at least one line on screen; a block that is laid out already knows
        // its own count, which is never smaller.
        if (number > 0 || firstBlock == 0)
            block.setLineCount(qMax(block.lineCount(), shown.lineCounts.value(number, 1)));
    }
    // The scroll bar takes its range from the counts just set.
    QAbstractTextDocumentLayout *layout = document()->documentLayout();
    emit layout->documentSizeChanged(layout->documentSize());
}

void MultiLineEdit::scrollToEnd()
{
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

bool MultiLineEdit::deleteAcrossPieceEdge(bool backward)
{
    QTextCursor cursor = textCursor();
    if (cursor.hasSelection())
        return false;
    QTextBlock block = cursor.block();
    if (backward) {
        if (cursor.positionInBlock() != 0)
            return false;
        // Empty pieces before this one hold nothing to remove.
        while (block.userState() == kContinuation && block.previous().length() == 1)
            block = block.previous();
        if (block.userState() != kContinuation || !block.previous().isValid())
            return false;
        cursor.setPosition(block.position() - 1);
        cursor.deletePreviousChar();
    } else {
        if (!cursor.atBlockEnd())
            return false;
        while (block.next().userState() == kContinuation && block.next().length() == 1)
            block = block.next();
        if (block.next().userState() != kContinuation)
            return false;
        cursor.setPosition(block.next().position());
        cursor.deleteChar();
    }
    setTextCursor(cursor);
    return true;
}

void MultiLineEdit::keyPressEvent(QKeyEvent *event)
{
    if (!isReadOnly()) {
        const bool backspace =
            event->key() == Qt::Key_Backspace && !(event->modifiers() & ~Qt::ShiftModifier);
        if ((backspace || event->matches(QKeySequence::Delete))
            && deleteAcrossPieceEdge(backspace)) {
            event->accept();
            return;
        }
        const QString typed = event->text();
        if (!typed.isEmpty() && typedText(typed) != typed) {
            textCursor().insertText(typedText(typed));
            event->accept();
            return;
        }
    }
    Control<QPlainTextEdit>::keyPressEvent(event);
}

void MultiLineEdit::inputMethodEvent(QInputMethodEvent *event)
{
    if (!event->commitString().isEmpty() && !isReadOnly()) {
        QInputMethodEvent clean(event->preeditString(), event->attributes());
        clean.setCommitString(typedText(event->commitString()), event->replacementStart(),
                              event->replacementLength());
        Control<QPlainTextEdit>::inputMethodEvent(&clean);
        return;
    }
    Control<QPlainTextEdit>::inputMethodEvent(event);
}

void MultiLineEdit::insertFromMimeData(const QMimeData *source)
{
    if (source && source->hasText())
        textCursor().insertText(typedText(source->text()));
}
