#pragma once

#include "score/Disk.h"

#include <QByteArray>

#include <optional>

// One file replaced safely, in turn with every other game: the mechanism under the score list's
// policy (ScoreFile), which knows nothing of what the bytes mean.
//
// Contract:
// - The target's folder is looked up once, when the turn is taken; every later open, rename and
//   removal is made relative to that folder's descriptor, and the target's name is never followed
//   as a link: a folder or a file swapped for a link meanwhile redirects nothing.
// - The turn is an exclusive lock on the folder that holds the target (flock on the folder, so two
//   folders whose files link to one file share it) and on the file its name holds when the turn is
//   taken (so two names of one file, hard links included, share it). Every write, rename and
//   backup step of this file happens only while this object holds the turn; without the turn
//   nothing is written.
// - replace() puts every byte on disk, then replaces the target, or leaves it as it was: through a
//   temporary file beside it (written, synced, renamed, folder synced); or, where the folder
//   refuses a new file or a new file could not keep the target's owner, in place, after keeping the
//   old bytes in the backup (never a file that other names reach: their games look elsewhere).
//   Neither replaces nor removes a file other than the one read (device and inode).
// - The backup lies where every game that reaches the target finds it, whatever links led there:
//   in a folder named relative to the target's own (Place::backupFolder). Its target is the one
//   this object was made for, never read from the backup. A backup holds the target's device and
//   inode, the old bytes and the new ones, each with its size and SHA-256. recover() leaves the
//   target holding exactly the new bytes or puts the old bytes back, whichever sectors of the write
//   reached the disk. A backup that is malformed, names another file, or finds the target holding
//   what no cut of that write leaves (saved since) is set aside under another name, never applied;
//   only the newest few set aside are kept.
// - Notes (a few bytes a policy keeps about the target's text) lie beside the target, each tied to
//   the bytes it was kept for and named after them: one is found only while the target holds those
//   very bytes. A note is written whole under another name and then renamed, so a cut leaves the
//   old note or the new; the note of bytes about to be written is kept beside that of the bytes
//   they replace, so that whichever a cut leaves in place has its note.
// - Every read stops at the bound by the bytes actually read, whatever size the file reports; a
//   file that yields more bytes than its size says (a /proc file) counts as unreadable.
class SafeFile {
public:
    enum class Outcome {
        Written,    // every byte on disk and in place
        NotCreated, // nothing written: the file or its copy could not be made, or no turn
        NotWritten, // a write failed; the target is as it was
    };
    enum class Read { Done, Missing, Unreadable, TooLarge };
    enum class Recovery {
        Clean,    // no backup, or one no longer needed
        Restored, // a cut write in place was put back
        SetAside, // a backup that did not apply was kept under another name
        Pending,  // a backup that applies could not be applied: the target may hold a cut write
        NoTurn,   // a backup stands and the turn could not be had to look at it
    };
    // Where the target lies, its links already followed.
    struct Place {
        QByteArray folder;       // the target's folder, as a path
        QByteArray name;         // the target's name in it
        QByteArray backupFolder; // the backup's folder, relative to the target's
        QByteArray backupName;   // the backup's name in it
    };
    // A file's identity on its file system; {0, 0} for none.
    struct Identity {
        dev_t device = 0;
        ino_t inode = 0;
        bool operator==(const Identity &) const = default;
    };
    // How many backups set aside are kept for one target: the newest.
    static constexpr int kKeptAside = 3;

    // No file over `maxBytes` is read, and none written.
    SafeFile(Disk &disk, const Place &place, qsizetype maxBytes);
    ~SafeFile();
    SafeFile(const SafeFile &) = delete;
    SafeFile &operator=(const SafeFile &) = delete;

    // Waits up to `waitMs` for the turn; holds it until this object goes.
    bool takeTurn(int waitMs);
    bool hasTurn() const { return m_folder >= 0 && m_locked; }

    // With the turn: removes what saves killed half-way left (temporary files, an unfinished
    // backup) and handles a backup left by an unfinished write in place. Without it, touches
    // nothing: NoTurn when a backup stands, else Clean.
    Recovery recover();

    // Reads the target whole into the empty `bytes`; replace() and remove() then act only on the
    // very file read.
    Read read(QByteArray *bytes);

    // The target's identity as it stands now; {} when there is none.
    Identity identity() const;

    // With the turn: writes `bytes` as described above. Without the turn: NotCreated.
    Outcome replace(const QByteArray &bytes);

    // With the turn: keeps `bytes` (what the target holds and a save would not keep whole) on disk
    // beside the backup, as a backup that did not apply is kept. False when it cannot.
    bool keepAside(const QByteArray &bytes);

    // The note kept for the bytes that the target holds as read() found them or replace() wrote
    // them; nullopt when none holds for them.
    std::optional<QByteArray> note() const;

    // With the turn: keeps `note` on disk for the bytes the target holds as read or written, or for
    // `bytes`, which a replace() is about to write.
    bool keepNote(const QByteArray &note);
    bool keepNoteFor(const QByteArray &bytes, const QByteArray &note);

    // With the turn: removes the target's notes, on disk; with `others`, only those kept for bytes
    // other than the target holds. False when one may still hold.
    bool dropNotes(bool others = false);

    // With the turn: removes the target when it is the file read. False without the turn or when
    // it cannot be removed.
    bool remove();

private:
    // Reads the regular file `name` of `folder` whole, at most `maxBytes` of it. On Done, `*fd`
    // (when given) receives the open descriptor and `*identity` the file's identity.
    Read readBounded(int folder, const QByteArray &name, int flags, qsizetype maxBytes,
                     QByteArray *bytes, int *fd = nullptr, Identity *identity = nullptr) const;
    Outcome replaceThroughTemporary(const QByteArray &bytes, bool exists,
                                    const struct stat &status);
    Outcome overwriteInPlace(const QByteArray &bytes);
    bool writeBackup(const Identity &target, const QByteArray &old, const QByteArray &bytes);
    bool backupStands() const;
    bool lockFolderAndFile();
    QByteArray asideName() const;
    void setBackupAside();
    void pruneAside();
    void removeStaleTemporaries();
    bool writeNote(const QByteArray &forDigest, const QByteArray &note);
    bool writeWhole(int folder, const QByteArray &temporary, const QByteArray &name,
                    const QByteArray &bytes, mode_t mode);
    int createTemporary(bool exists, const struct stat &status, QByteArray *name);
    bool writeAll(int fd, const QByteArray &bytes);
    bool putBack(int fd, const QByteArray &old);

    Disk &m_disk;
    const Place m_place;
    const qsizetype m_maxBytes;
    int m_folder = -1;
    int m_backupFolder = -1;
    int m_fileLock = -1;
    bool m_folderLocked = false;
    bool m_locked = false;
    // The file that read() found, if any: what replace() and remove() may act on.
    Identity m_read;
    // The SHA-256 of the bytes that the target holds as read or written; empty for none.
    QByteArray m_digest;
};
