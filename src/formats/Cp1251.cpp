#include "formats/Cp1251.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

// The code page has no character for this byte. It stands for U+0098, the character of the same
// number, as on the web and in Windows' own conversion, so that every byte but zero has a character
// and a score file survives loading and saving byte for byte.
constexpr unsigned char kUndefinedByte = 0x98;

// The code page's tables, read once from the platform's converter: byte -> character, and
// character -> byte for every UTF-16 unit, so that encoding costs one array look-up a character.
struct Table {
    std::array<char16_t, 256> toUnicode{};
    // 0 for a character the code page does not hold; only U+0000 itself has the byte 0.
    std::array<std::uint8_t, 65536> fromUnicode{};

    Table()
    {
        QStringDecoder decoder("windows-1251");
        Q_ASSERT(decoder.isValid());
        for (int byte = 0; byte < 256; ++byte) {
            const char raw = char(byte);
            const QString decoded = decoder.decode(QByteArrayView(&raw, 1));
            decoder.resetState();
            char16_t c = byte;
            if (byte != kUndefinedByte) {
                Q_ASSERT(decoded.size() == 1 && decoded[0] != QChar::ReplacementCharacter);
                c = decoded[0].unicode();
            }
            toUnicode[byte] = c;
            fromUnicode[c] = std::uint8_t(byte);
        }
    }

    bool holds(char16_t c) const { return c == 0 || fromUnicode[c] != 0; }
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
    return table().holds(c.unicode());
}

QByteArray encode(const QString &text)
{
    const Table &t = table();
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char *out = bytes.data();
    const char16_t *in = reinterpret_cast<const char16_t *>(text.constData());
    const char16_t *end = in + text.size();
    for (; in != end; ++in) {
        if (QChar::isHighSurrogate(*in) && in + 1 != end && QChar::isLowSurrogate(in[1]))
            ++in; // one "?" for the pair
        *out++ = t.holds(*in) ? char(t.fromUnicode[*in]) : '?';
    }
    bytes.truncate(out - bytes.data());
    return bytes;
}

QString decode(const QByteArray &bytes)
{
    const Table &t = table();
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t *out = reinterpret_cast<char16_t *>(text.data());
    for (char byte : bytes)
        *out++ = t.toUnicode[static_cast<unsigned char>(byte)];
    return text;
}

bool decodesTo(QByteArrayView bytes, QStringView text)
{
    if (bytes.size() != text.size())
        return false;
    const Table &t = table();
    const char16_t *in = reinterpret_cast<const char16_t *>(text.data());
    for (char byte : bytes)
        if (t.toUnicode[static_cast<unsigned char>(byte)] != *in++)
            return false;
    return true;
}

QString sanitize(const QString &text)
{
    const Table &t = table();
    const auto held = [&t](QChar c) { return t.holds(c.unicode()); };
    // Text that is already clean (every loaded score list) is returned as it is, without a copy.
    if (std::all_of(text.cbegin(), text.cend(), held))
        return text;
    QString clean;
    clean.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            clean.append(u'?');
            ++i;
        } else {
            clean.append(held(c) ? c : QChar(u'?'));
        }
    }
    return clean;
}

} // namespace Cp1251
