#include "toolkit/TMemo.h"

#include "toolkit/Cp1251.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>

namespace {

QString toEditor(const QString &crlfText)
{
    return QString(crlfText).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace

TMemo::TMemo(QWidget *parent) : Control<QTextEdit>(parent)
{
    viewport()->setMouseTracking(true);
    setAcceptRichText(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setFrameShape(QFrame::NoFrame);
    centreAllLines();
}

QString TMemo::text() const
{
    return toPlainText().replace(u'\n', QStringLiteral("\r\n"));
}

void TMemo::setText(const QString &text)
{
    setPlainText(Cp1251::sanitize(toEditor(text)));
    centreAllLines();
}

void TMemo::appendRaw(const QString &text)
{
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    // New lines take the centred format of the line they continue.
    cursor.insertText(Cp1251::sanitize(toEditor(text)));
}

void TMemo::keyPressEvent(QKeyEvent *event)
{
    const QString typed = event->text();
    if (!typed.isEmpty() && Cp1251::sanitize(typed) != typed && !isReadOnly()) {
        textCursor().insertText(Cp1251::sanitize(typed));
        event->accept();
        return;
    }
    Control<QTextEdit>::keyPressEvent(event);
}

void TMemo::inputMethodEvent(QInputMethodEvent *event)
{
    if (!event->commitString().isEmpty() && !isReadOnly()) {
        QInputMethodEvent clean(event->preeditString(), event->attributes());
        clean.setCommitString(Cp1251::sanitize(event->commitString()), event->replacementStart(),
                              event->replacementLength());
        Control<QTextEdit>::inputMethodEvent(&clean);
        return;
    }
    Control<QTextEdit>::inputMethodEvent(event);
}

void TMemo::insertFromMimeData(const QMimeData *source)
{
    if (source && source->hasText())
        textCursor().insertText(Cp1251::sanitize(toEditor(source->text())));
}

void TMemo::centreAllLines()
{
    QTextCursor cursor(document());
    cursor.select(QTextCursor::Document);
    QTextBlockFormat format;
    format.setAlignment(Qt::AlignHCenter);
    cursor.mergeBlockFormat(format);
}
