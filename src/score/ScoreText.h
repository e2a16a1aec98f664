#pragma once

#include <QByteArray>
#include <QString>

// The rules of the score list's text, which is the score file's text: lines separated by CR LF, the
// list only ever loaded, appended to and saved, never parsed.
namespace ScoreText {

// The file's bytes up to, not including, the first zero byte: a zero ends the text.
QByteArray untilZero(const QByteArray &bytes);

// `text` with CR LF kept and every other CR and every other LF turned into CR LF.
QString normaliseLineBreaks(const QString &text);

// What appending `line` to `text` adds at its very end: the line and CR LF after a text that is
// empty or ends with CR LF; otherwise CR LF and the line, so that text again ends without a break.
QString appendPiece(const QString &text, const QString &line);

} // namespace ScoreText
