#include "toolkit/TMemo.h"

#include "toolkit/Cp1251.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

namespace {

// The user state of a block that continues the line of the block before it (a piece of a long
// line); every other block starts a line of its own.
constexpr int kContinuation = 1;

const QString kCrLf = QStringLiteral("\r\n");

// What the document shows for a text: the same characters, with a block break after every
// kShownPiece characters of one line, and the numbers of the blocks that such breaks start
// (counted from the block that the text continues, 0).
struct Shown {
    QString text;
    QList<int> continuations;
};

// A line break of the text as the document reads one: CR LF, or a lone CR or LF. Returns its
// length at `i`, 0 when there is none.
int breakAt(const QString &text, qsizetype i)
{
    const QChar c = text[i];
    if (c == u'\r')
        return i + 1 < text.size() && text[i + 1] == u'\n' ? 2 : 1;
    return c == u'\n' ? 1 : 0;
}

// `lineSoFar` is the length of the block that the text continues.
Shown shownText(const QString &text, qsizetype lineSoFar)
{
    // Common case first: no line needs cutting, and the text is shown as it is.
    qsizetype column = lineSoFar;
    bool cut = false;
    for (qsizetype i = 0; i < text.size() && !cut; ++i) {
        column = breakAt(text, i) ? 0 : column + 1;
        cut = column > TMemo::kShownPiece;
    }
    if (!cut)
        return {text, {}};

    Shown shown;
    shown.text.reserve(text.size() + text.size() / TMemo::kShownPiece + 1);
    int block = 0;
    column = lineSoFar;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (const int length = breakAt(text, i)) {
            shown.text += u'\n';
            ++block;
            column = 0;
            i += length - 1;
            continue;
        }
        if (column == TMemo::kShownPiece) {
            shown.text += u'\n';
            shown.continuations.append(++block);
            column = 0;
        }
        shown.text += text[i];
        ++column;
    }
    return shown;
}

} // namespace

TMemo::TMemo(QWidget *parent) : Control<QPlainTextEdit>(parent)
{
    viewport()->setMouseTracking(true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setFrameShape(QFrame::NoFrame);
    QTextOption option = document()->defaultTextOption();
    option.setAlignment(Qt::AlignHCenter);
    document()->setDefaultTextOption(option);
    // No undo: a history would keep every load and every appended line for the life of the
    // process, and the box offers no undo to the player.
    setUndoRedoEnabled(false);
    connect(document(), &QTextDocument::contentsChange, this, [this] {
        if (!m_showing)
            m_edited = true;
    });
}

QString TMemo::text() const
{
    takeEdits();
    return m_text;
}

void TMemo::setText(const QString &text)
{
    m_text = Cp1251::sanitize(text);
    m_edited = false;
    const Shown shown = shownText(m_text, 0);
    m_showing = true;
    // The document's own replacement: the box's setPlainText() would also set the character
    // format of the whole text again, which costs a third more on a long list.
    document()->setPlainText(shown.text);
    m_showing = false;
    markContinuations(0, shown.continuations);
    moveCursor(QTextCursor::Start);
}

void TMemo::appendRaw(const QString &text)
{
    const QString clean = Cp1251::sanitize(text);
    takeEdits();
    m_text += clean;

    const QTextBlock last = document()->lastBlock();
    const Shown shown = shownText(clean, last.length() - 1);
    m_showing = true;
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(shown.text);
    m_showing = false;
    markContinuations(last.blockNumber(), shown.continuations);
}

void TMemo::scrollToEnd()
{
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void TMemo::markContinuations(int firstBlock, const QList<int> &continuations)
{
    for (int continuation : continuations)
        document()->findBlockByNumber(firstBlock + continuation).setUserState(kContinuation);
}

void TMemo::takeEdits() const
{
    if (m_edited) {
        m_text = documentText();
        m_edited = false;
    }
}

QString TMemo::documentText() const
{
    QString text;
    text.reserve(document()->characterCount() + document()->blockCount());
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block != document()->begin() && block.userState() != kContinuation)
            text += kCrLf;
        // The block's own characters: unlike the document's plain text, with no-break spaces kept.
        text += block.text();
    }
    return text;
}

void TMemo::keyPressEvent(QKeyEvent *event)
{
    const QString typed = event->text();
    if (!typed.isEmpty() && Cp1251::sanitize(typed) != typed && !isReadOnly()) {
        textCursor().insertText(Cp1251::sanitize(typed));
        event->accept();
        return;
    }
    Control<QPlainTextEdit>::keyPressEvent(event);
}

void TMemo::inputMethodEvent(QInputMethodEvent *event)
{
    if (!event->commitString().isEmpty() && !isReadOnly()) {
        QInputMethodEvent clean(event->preeditString(), event->attributes());
        clean.setCommitString(Cp1251::sanitize(event->commitString()), event->replacementStart(),
                              event->replacementLength());
        Control<QPlainTextEdit>::inputMethodEvent(&clean);
        return;
    }
    Control<QPlainTextEdit>::inputMethodEvent(event);
}

void TMemo::insertFromMimeData(const QMimeData *source)
{
    if (source && source->hasText())
        textCursor().insertText(Cp1251::sanitize(source->text()));
}
