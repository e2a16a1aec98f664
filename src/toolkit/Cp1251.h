#pragma once

#include <QByteArray>
#include <QString>

// Windows-1251, the single-byte code page of every text the game stores. Texts cross into and out of
// the program through here, and text boxes take only what this code page can hold, so that what the
// player sees is what the file keeps.
namespace Cp1251 {

QByteArray encode(const QString &text);
QString decode(const QByteArray &bytes);

// Whether `c` (one UTF-16 unit that is not part of a surrogate pair) has a byte in the code page.
bool holds(QChar c);

// `text` with every character that the code page cannot hold replaced by "?" (a surrogate pair
// counts as one character).
QString sanitize(const QString &text);

} // namespace Cp1251
