#pragma once

#include <QString>

// The score file: the score list's whole text, stored as Windows-1251 bytes with CR LF line breaks,
// nothing added. Paths are the game's own (backslashes, letter case free), relative to the working
// directory.
namespace ScoreFile {

// Where the list is read from and saved to.
inline constexpr char16_t kPath[] = u"base\\data\\score.inf";
// Where a save goes when the file above cannot be written; never read.
inline constexpr char16_t kFallbackPath[] = u"score.inf";

// The text of the score file, line breaks made CR LF and ended at the first zero byte. Any failure
// (no file, no directory, no access) gives the empty text, silently.
QString load();

// Writes `text` to the score file, or to the fallback when that fails. Each write is atomic: a
// failed or interrupted one leaves the file it was replacing as it was. Throws GameError
// ("Cannot create file score.inf" or "Stream write error") when the fallback fails too.
void save(const QString &text);

} // namespace ScoreFile
