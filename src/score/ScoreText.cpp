#include "score/ScoreText.h"

#include "formats/Cp1251.h"

#include <QHash>
#include <QList>

#include <algorithm>

namespace ScoreText {

namespace {
// The line break of the list and of the file.
const QString kCrLf = QStringLiteral("\r\n");
// Whether `text` is `start` followed by nothing or by whole lines.
bool extendsByLines(const QString &text, const QString &start)
{
    return text.startsWith(start)
        && (start.isEmpty() || start.endsWith(kCrLf)
            || QStringView(text).mid(start.size()).startsWith(kCrLf));
}

} // namespace

QList<QStringView> resultsOf(const QString &text)
{
    QList<QStringView> lines = QStringView(text).split(kCrLf); // never empty
    if (lines.last().isEmpty())
        lines.removeLast();
    QList<QStringView> results;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i] == QStringView(kSeparator) && i + 1 < lines.size()) {
            const qsizetype start = lines[i].data() - text.data();
            const qsizetype end = lines[i + 1].data() - text.data() + lines[i + 1].size();
            results.append(QStringView(text).mid(start, end - start));
            ++i;
        } else {
            results.append(lines[i]);
        }
    }
    return results;
}

qsizetype normalisedSize(QByteArrayView bytes)
{
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes = bytes.first(zero);
    qsizetype size = bytes.size();
    // A lone CR or a lone LF each gains the other half of CR LF.
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const bool loneCr = bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n');
        const bool loneLf = bytes[i] == '\n' && (i == 0 || bytes[i - 1] != '\r');
        if (loneCr || loneLf)
            ++size;
    }
    return size;
}

bool readsAs(QByteArrayView bytes, QStringView text)
{
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes = bytes.first(zero);
    qsizetype at = 0;
    for (qsizetype i = 0; i < bytes.size();) {
        qsizetype end = i;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        const qsizetype run = end - i;
        if (run > text.size() - at
            || !Cp1251::decodesTo(bytes.sliced(i, run), text.sliced(at, run)))
            return false;
        at += run;
        if (end == bytes.size())
            break;
        // A CR LF, a lone CR or a lone LF: each CR LF in the list.
        if (!text.sliced(at).startsWith(kCrLf))
            return false;
        at += kCrLf.size();
        i = end + (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n' ? 2 : 1);
    }
    return at == text.size();
}

QString missingResults(const QString &from, const QString &in, const QString &alsoIn)
{
    QHash<QStringView, qsizetype> held;
    for (const QStringView result : resultsOf(in))
        ++held[result];
    if (!alsoIn.isEmpty() && alsoIn != in) {
        QHash<QStringView, qsizetype> also;
        for (const QStringView result : resultsOf(alsoIn))
            ++also[result];
        for (auto it = also.cbegin(); it != also.cend(); ++it) {
            qsizetype &count = held[it.key()];
            count = std::max(count, it.value());
        }
    }
    QString missing;
    for (const QStringView result : resultsOf(from)) {
        qsizetype &count = held[result];
        if (count > 0)
            --count;
        else
            missing.append(result).append(kCrLf);
    }
    return missing;
}

QString joinLines(const QString &text, QStringView lines)
{
    const bool ended = text.isEmpty() || text.endsWith(kCrLf);
    QString joined = text;
    if (ended && lines.startsWith(kCrLf))
        lines = lines.mid(kCrLf.size());
    else if (!ended && !lines.isEmpty() && !lines.startsWith(kCrLf))
        joined += kCrLf;
    return joined.append(lines);
}

QString merge(const QString &base, const QString &ours, const std::optional<QString> &theirs,
              const QString &listBase)
{
    // Results are counted: a text equal to another says nothing of what either added, so no whole
    // text is compared (two games that add the same result keep it twice).
    if (!theirs)
        return ours;
    const QString added = missingResults(*theirs, base, listBase);
    if (added.isEmpty())
        return ours;
    if (extendsByLines(ours, listBase))
        return joinLines(joinLines(listBase, added), QStringView(ours).mid(listBase.size()));
    return joinLines(ours, added);
}

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
