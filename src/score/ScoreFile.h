#pragma once

#include <QString>

// The score file: the score list's whole text, stored as Windows-1251 bytes with CR LF line breaks,
// nothing added. Paths are the game's own (backslashes, letter case free), relative to the working
// directory.
namespace ScoreFile {

// Where the list is read from and saved to.
inline constexpr char16_t kPath[] = u"base\\data\\score.inf";
// Where a save goes when the file above cannot be written, and what a load reads when that file
// is not there or cannot be read: a result saved here is found again by the next session.
inline constexpr char16_t kFallbackPath[] = u"score.inf";

// What the score file held when this session last read or wrote it.
struct Loaded {
    // The file's text, line breaks made CR LF and ended at the first zero byte; empty when there
    // is no file or it could not be read.
    QString text;
    // A file stands at the score file's path but could not be read: no read access, a read error,
    // or not a regular file (a FIFO or a device is never opened in a way that could block). What it
    // holds is unknown, so a save must not replace it.
    bool unreadable = false;
};

// Reads the score file; when it is not there or cannot be read, the fallback. Every failure is
// silent. A score file that a write in place left unfinished is first put back as it was.
Loaded load();

// Writes `text`, the list that began as `last.text` (what load() or the last save returned), to the
// score file, or to the fallback when that fails or when `last.unreadable`. A file that still holds
// `last.text`, or no file, gets `text` exactly. A file that changed meanwhile (another game in the
// same folder saved, or the fallback holds an earlier session's results) keeps what it holds: it
// gets the lines that the list gained since `last` added at its end; where the list was edited as
// well, the list comes first and the file's lines that it lacks follow. So a save drops no line
// that the file holds, but those the player deleted from the list read from it.
// A write either puts every byte on disk and then replaces the file, or leaves the file as it was;
// the file behind a chain of links is written where it lies, keeping its owner and permissions.
// FIFOs, devices and directories are never written through. Returns what the file now holds.
// Throws GameError ("Cannot create file score.inf" or "Stream write error") when the fallback
// fails too.
Loaded save(const QString &text, const Loaded &last = {});

// A step of a write that tests can make fail as a failing disk would: Interrupted makes a read or a
// write return EINTR once; NameTaken makes another file appear at the next temporary name just
// before it is taken.
enum class Step { None, Create, Write, Sync, SyncFolder, Rename, Interrupted, IoError, NameTaken };
// Makes `times` occurrences of `step` fail, after `after` that pass, in the saves that follow,
// besides the failures already set for other steps; Step::None ends them all.
void failForTesting(Step step, int times = 1, int after = 0);
// Makes the process kill itself (SIGKILL) at `step` of the next save: Write after writing half of
// the bytes, Sync after the file written in place is synced, Create after writing half of the copy
// that a write in place keeps. Step::None ends it.
void killForTesting(Step step);

} // namespace ScoreFile
