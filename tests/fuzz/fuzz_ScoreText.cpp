// The score file's text rules on any bytes, as loading and the end of an exam use them: the text
// ends at the first zero byte, its line breaks all come out CR LF (and stay so when normalised
// again), it survives a save and a load unchanged, and appending a line keeps the text before it.

#include "formats/Cp1251.h"
#include "score/ScoreText.h"

#include <cstdint>
#include <cstdlib>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

bool onlyCrLfBreaks(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r' && (i + 1 >= text.size() || text[i + 1] != u'\n'))
            return false;
        if (text[i] == u'\n' && (i == 0 || text[i - 1] != u'\r'))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text =
        ScoreText::normaliseLineBreaks(Cp1251::decode(ScoreText::untilZero(bytes)));
    if (text.contains(QChar(0)) || !onlyCrLfBreaks(text)
        || ScoreText::normaliseLineBreaks(text) != text)
        std::abort();
    if (Cp1251::decode(Cp1251::encode(text)) != text)
        std::abort();

    // The first line of the input stands for a result line (the game's have no breaks).
    const QString line =
        Cp1251::decode(bytes.left(bytes.indexOf('\n') < 0 ? 64 : bytes.indexOf('\n')))
            .remove(u'\r')
            .remove(u'\n');
    const QString appended =
        text + ScoreText::appendPiece(text.isEmpty() || text.endsWith(kCrLf), line);
    if (!appended.startsWith(text) || !appended.contains(line) || !onlyCrLfBreaks(appended))
        std::abort();

    // The bound applies to the size normalising gives.
    if (ScoreText::normalisedSize(bytes) != Cp1251::encode(text).size())
        std::abort();
    // Merge by results: the text split in three stands for what was read, the list and the file;
    // the merge begins with the list whole, or with what was read when the list only grew.
    const qsizetype third = text.size() / 3;
    const QString base = text.left(third), ours = text.mid(third, third),
                  theirs = text.mid(2 * third);
    const QString merged = ScoreText::merge(base, ours, theirs, base);
    if (!merged.startsWith(ours) && !merged.startsWith(base))
        std::abort();
    if (ScoreText::missingResults(merged, merged).size() != 0)
        std::abort();
    return 0;
}
