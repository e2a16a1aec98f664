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
    // Whether `i` holds a lone CR or a lone LF; neither character of a CR LF pair is one.
    const auto loneBreak = [&text](qsizetype i) {
        const QChar c = text[i];
        if (c == u'\n')
            return i == 0 || text[i - 1] != u'\r';
        return c == u'\r' && (i + 1 == text.size() || text[i + 1] != u'\n');
    };
    // A file that the game wrote has CR LF only and comes back as it is, without a copy.
    qsizetype first = 0;
    while (first < text.size() && !loneBreak(first))
        ++first;
    if (first == text.size())
        return text;

    QString result;
    result.reserve(text.size() + text.size() / 8);
    result.append(QStringView(text).left(first));
    for (qsizetype i = first; i < text.size(); ++i) {
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

QString appendPiece(bool lastLineEmpty, const QString &line)
{
    if (lastLineEmpty)
        return line + kCrLf;
    return kCrLf + line;
}

} // namespace ScoreText
