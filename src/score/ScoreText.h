#pragma once

#include <QByteArray>
#include <QString>

// The rules of the score list's text, which is the score file's text: lines separated by CR LF, the
// list only ever loaded, appended to and saved, never parsed.
namespace ScoreText {

// The largest score file that the list takes (bytes; a character a byte): some 180,000 exams.
// The list holds its text in UTF-16 with the document's own records, about five times the file's
// size together with the text of the last load or save; a save needs the list's text once more, the
// file as it is on disk and the bytes it writes besides: measured, under 100 MB over the game's own
// footprint at this size, the game's bound for what one file may take. A larger file is left as it
// is, as one that cannot be read.
inline constexpr qsizetype kMaxFileBytes = qsizetype(10) << 20;

// The file's bytes up to, not including, the first zero byte: a zero ends the text.
QByteArray untilZero(const QByteArray &bytes);

// `text` with CR LF kept and every other CR and every other LF turned into CR LF.
QString normaliseLineBreaks(const QString &text);

// What appending `line` to a text adds at its very end: the line and CR LF when the text's last
// line is empty (the text is empty or ends with CR LF); otherwise CR LF and the line, so that the
// text again ends without a break.
QString appendPiece(bool lastLineEmpty, const QString &line);

} // namespace ScoreText
