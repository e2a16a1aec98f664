#include "toolkit/Cp1251.h"

#include <QHash>
#include <QStringDecoder>

#include <array>

namespace {

// The code page's table, read once from the platform's converter: byte -> character, and back.
struct Table {
    std::array<char16_t, 256> toUnicode{};
    QHash<char16_t, unsigned char> fromUnicode;

    Table()
    {
        QStringDecoder decoder("windows-1251");
        Q_ASSERT(decoder.isValid());
        for (int byte = 0; byte < 256; ++byte) {
            const char raw = char(byte);
            const QString decoded = decoder.decode(QByteArrayView(&raw, 1));
            decoder.resetState();
            if (decoded.size() != 1 || decoded[0] == QChar::ReplacementCharacter) {
                toUnicode[byte] = u'?'; // the one undefined byte (0x98)
                continue;
            }
            toUnicode[byte] = decoded[0].unicode();
            fromUnicode.insert(decoded[0].unicode(), static_cast<unsigned char>(byte));
        }
    }
};

const Table &table()
{
    static const Table instance;
    return instance;
}

} // namespace

namespace Cp1251 {

bool holds(QChar c)
{
    return table().fromUnicode.contains(c.unicode());
}

QByteArray encode(const QString &text)
{
    const QString clean = sanitize(text);
    QByteArray bytes;
    bytes.reserve(clean.size());
    for (QChar c : clean)
        bytes.append(char(table().fromUnicode.value(c.unicode())));
    return bytes;
}

QString decode(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (char byte : bytes)
        text.append(QChar(table().toUnicode[static_cast<unsigned char>(byte)]));
    return text;
}

QString sanitize(const QString &text)
{
    QString clean;
    clean.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            clean.append(u'?');
            ++i;
        } else {
            clean.append(holds(c) ? c : QChar(u'?'));
        }
    }
    return clean;
}

} // namespace Cp1251
