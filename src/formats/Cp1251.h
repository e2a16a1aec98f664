#pragma once

#include <QByteArray>
#include <QString>

// Windows-1251, the single-byte code page of every text the game stores. Texts cross into and out
// of the program through here, and text boxes take only what this code page can hold, so that what
// the player sees is what the file keeps.
namespace Cp1251 {

// Every character that the code page cannot hold becomes "?" (see sanitize()).
QByteArray encode(const QString &text);
// One character a byte. Every byte has one (0x98, which the code page leaves undefined, is U+0098),
// so encode(decode(bytes)) gives back `bytes`.
QString decode(const QByteArray &bytes);
// Whether decode(bytes) == text, without making the decoded copy (a large score list would take a
// second one).
bool decodesTo(QByteArrayView bytes, QStringView text);

// Whether `c` (one UTF-16 unit that is not part of a surrogate pair) has a byte in the code page.
bool holds(QChar c);

// `text` with every character that the code page cannot hold replaced by "?" (a surrogate pair
// counts as one character).
QString sanitize(const QString &text);

} // namespace Cp1251
