#include "score/ScoreText.h"

namespace ScoreText {

namespace {
// The line break of the list and of the file.
const QString kCrLf = QStringLiteral("\r\n");
} // namespace

QByteArray untilZero(const QByteArray &bytes)
{
    const qsizetype zero = bytes.indexOf('\0');
    return zero < 0 ? bytes : bytes.left(zero);
}

QString normaliseLineBreaks(const QString &text)
{
    QString result;
    result.reserve(text.size() + text.size() / 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r') {
            result += kCrLf;
            // The LF of a CR LF pair belongs to the break just written.
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
        } else if (c == u'\n') {
            result += kCrLf;
        } else {
            result += c;
        }
    }
    return result;
}

QString appendPiece(const QString &text, const QString &line)
{
    if (text.isEmpty() || text.endsWith(kCrLf))
        return line + kCrLf;
    return kCrLf + line;
}

} // namespace ScoreText
