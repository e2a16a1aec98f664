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

// What a load found.
struct Loaded {
    // The file's text, line breaks made CR LF and ended at the first zero byte; empty when there
    // is no file or it could not be read.
    QString text;
    // A file stands at the path but could not be read: no read access, a read error, or not a
    // regular file (a FIFO or a device is never opened in a way that could block). What it holds
    // is unknown, so a save must not replace it.
    bool unreadable = false;
};

// Reads the score file. Every failure is silent.
Loaded load();

// Writes `text` to the score file, or to the fallback when that fails or when `scoreFileUnreadable`
// (the load could not read it). A write either puts every byte on disk and then replaces the file,
// or leaves the file as it was. FIFOs, devices and directories are never written through. Throws
// GameError ("Cannot create file score.inf" or "Stream write error") when the fallback fails too.
void save(const QString &text, bool scoreFileUnreadable = false);

// A step of a write that tests can make fail as a failing disk would.
enum class Step { None, Create, Write, Sync, Rename };
// Makes the next `times` occurrences of `step` fail, in the saves that follow, besides the failures
// already set for other steps; Step::None ends them all.
void failForTesting(Step step, int times = 1);

} // namespace ScoreFile
