#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

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

// The separator line that every exam's result follows (ExamResult): the separator and the result
// line after it are one result, kept or dropped whole.
inline constexpr char16_t kSeparator[] = u"-----------------";

// How many bytes the text of the file `bytes` takes once loaded and saved again: up to the first
// zero byte, every lone CR and lone LF made CR LF. The bound (kMaxFileBytes) applies to this, so
// that a save never writes what the next start refuses.
qsizetype normalisedSize(QByteArrayView bytes);

// Whether `bytes`, read as a list (up to the first zero byte, Windows-1251, every break made CR
// LF), is `text`, without making that copy: a large list's file as this game last read it is told
// without a second list's worth of memory, whatever its line breaks.
bool readsAs(QByteArrayView bytes, QStringView text);

// The file's bytes up to, not including, the first zero byte: a zero ends the text.
QByteArray untilZero(const QByteArray &bytes);

// `text` with CR LF kept and every other CR and every other LF turned into CR LF.
QString normaliseLineBreaks(const QString &text);

// What appending `line` to a text adds at its very end: the line and CR LF when the text's last
// line is empty (the text is empty or ends with CR LF); otherwise CR LF and the line, so that the
// text again ends without a break.
QString appendPiece(bool lastLineEmpty, const QString &line);

// The results of `text`: a separator and the line after it as one piece (the break between them
// included), any other line alone; no final break. The views point into `text`.
QList<QStringView> resultsOf(const QString &text);

// The results of `from` that `in` lacks, in their order in `from`, each line ended with CR LF. A
// result is a separator with the line after it; any other line counts alone. Counted: a result
// that `from` holds twice and `in` once is given once. With `alsoIn`, a result counts as held as
// often as the one of the two texts that holds it more often.
QString missingResults(const QString &from, const QString &in, const QString &alsoIn = {});

// `text` and then the whole lines `lines`, a line break between them where neither brings one,
// none added twice.
QString joinLines(const QString &text, QStringView lines);

// What a save writes over `theirs`, what one file holds now (nothing: no file), for the list `ours`
// that began as `listBase` (the list as the game last loaded or saved it), where `base` is the
// file's own text when this game last read or wrote it. It is the list as the player left it,
// edits and deletions included, with the results that other games added to the file since: those
// of `theirs` that neither `base` nor `listBase` holds, counted. The list may have come from
// another file (the fallback holds a copy of the score file), so results that this game has already
// seen in either are never added twice, and none that the player deleted comes back. When the
// player only appended to the list, the added results go before the player's new lines, in the
// order the games saved them.
QString merge(const QString &base, const QString &ours, const std::optional<QString> &theirs,
              const QString &listBase);

} // namespace ScoreText
