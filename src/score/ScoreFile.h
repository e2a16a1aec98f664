#pragma once

#include "score/Disk.h"

#include <QString>

#include <optional>

// The score file: the score list's whole text, stored as Windows-1251 bytes with CR LF line breaks,
// nothing added. Paths are the game's own (backslashes, letter case free), relative to the working
// directory. This is the list's policy (what a save writes: merge, fallback, links); replacing a
// file safely and in turn is SafeFile's.
namespace ScoreFile {

// Where the list is read from and saved to.
inline constexpr char16_t kPath[] = u"base\\data\\score.inf";
// Where a save goes when the file above cannot be written or another game holds its turn; the
// results that only it holds are shown by every load, and the next save of the score file takes
// them in and removes it.
inline constexpr char16_t kFallbackPath[] = u"score.inf";
// Where a write in place keeps the old bytes: the file's name followed by this, beside the `base`
// that holds the file's `data` folder (for the usual score file: score.inf.pemy-backup in the
// working folder), or beside the file itself when it lies elsewhere (the fallback:
// score.inf.pemy-fallback-backup). Every game that reaches the file, through whatever links, finds
// it there.
inline constexpr char kBackupSuffix[] = ".pemy-backup";
inline constexpr char kFallbackBackupSuffix[] = ".pemy-fallback-backup";
// Longest wait for the turn of one file, in milliseconds: a save or load waits no longer for
// another game's save (a stopped game holds its turn for as long as it is stopped).
inline constexpr int kTurnWaitMs = 400;

// What the score files held when this session last read or wrote them.
struct Loaded {
    // What the list shows: the score file's text, line breaks made CR LF and ended at the first
    // zero byte, followed by the results that only the fallback holds; the fallback's text alone
    // when there is no score file or it cannot be read.
    QString text;
    // A file stands at the score file's path but could not be read: no read access, a read error,
    // not a regular file, over the bound, or a backup of an unfinished write stands that could not
    // be applied. What it holds is unknown, so a save must not replace it.
    bool unreadable = false;
    // No file stands at the score file's path: the list is the fallback's text.
    bool scoreMissing = false;
    // The score file's text and the fallback's when last read or written (empty: none); a save adds
    // to the list what other games added to each since.
    QString scoreText;
    QString fallbackText;
    // What of the fallback's text is a copy of the score file, as the note kept beside it says;
    // the rest are results that only the fallback holds. nullopt when no note holds for it: the
    // score file's text then stands for it.
    std::optional<QString> fallbackNote;
    // The note was kept by a save that took the fallback into the score file and may have been cut
    // short: the fallback's turn is needed to write the score file.
    bool fallbackTakenIn = false;
};

// Reads the score file and the fallback. Every failure is silent. A score file that a write in
// place left unfinished is first put back as it was (with the turn).
Loaded load(Disk &disk = Disk::system());

// Writes `text`, the list that began as `last.text` (what load() or the last save returned), to the
// score file, or to the fallback when that fails, when another game holds the score file's turn
// for longer than kTurnWaitMs, or when `last.unreadable`. It writes the list as the player left it,
// plus the results that other games added to that file since `last`. A save of the score file
// holds the fallback's turn as well: it takes in the results that only the fallback holds and
// removes the fallback, or, where it cannot, notes beside it that the score file holds all it
// holds, so that a result the player deleted does not come back from it. A save to the fallback
// notes beside it what of it is a copy of the score file, so that the same result added through
// both files is shown twice. A write either puts every
// byte on disk and then replaces the file, or leaves the file as it was; the file behind a chain of
// links is written where it lies, keeping its owner and permissions. FIFOs, devices and directories
// are never written through. Returns what the files now hold.
// Throws GameError: a text over the bound (ScoreText::kMaxFileBytes) is written nowhere and both
// files stay as they are; when the fallback fails too, "Cannot create file score.inf" or
// "Stream write error"; when another game holds both turns, a message that says so (the list
// keeps the results and the next save writes them).
Loaded save(const QString &text, const Loaded &last = {}, Disk &disk = Disk::system());

} // namespace ScoreFile
