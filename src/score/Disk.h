#pragma once

#include <QByteArray>
#include <QList>

#include <sys/stat.h>
#include <sys/types.h>

// The system calls through which the score file's save (SafeFile) touches files and waits for its
// turn: the seam through which tests make a step fail, stall or stop as a failing disk, a stopped
// game or a kill would, and through which they schedule several games one call at a time. The game
// uses this class as it is; only tests derive from it, so the game carries no test hook. Each call
// behaves as the system call of its name: -1 and errno on failure. Names are taken relative to the
// folder descriptor given (AT_FDCWD: the working directory), so that a save that resolved its
// folder once never looks a path up again.
class Disk {
public:
    virtual ~Disk() = default;

    // The plain system calls, shared by every save of the process.
    static Disk &system();

    virtual int openat(int folder, const char *name, int flags, mode_t mode = 0);
    virtual ssize_t read(int fd, void *buffer, size_t size);
    virtual ssize_t pwrite(int fd, const void *buffer, size_t size, off_t offset);
    // Puts a file's bytes on disk.
    virtual int fsync(int fd);
    // Puts a folder's entries on disk (a rename or a new name in it).
    virtual int fsyncFolder(int fd);
    virtual int ftruncate(int fd, off_t size);
    // Claims the space of the first `size` bytes, keeping the file's size.
    virtual int reserve(int fd, off_t size);
    virtual int renameat(int fromFolder, const char *from, int toFolder, const char *to);
    virtual int unlinkat(int folder, const char *name);
    // flock(2) on the descriptor.
    virtual int flock(int fd, int operation);
    virtual int close(int fd);
    virtual int fstat(int fd, struct stat *status);
    // fstatat(2); AT_SYMLINK_NOFOLLOW in `flags` makes it lstat.
    virtual int fstatat(int folder, const char *name, struct stat *status, int flags);
    virtual int fchown(int fd, uid_t owner, gid_t group);
    virtual int fchmod(int fd, mode_t mode);
    virtual int faccessat(int folder, const char *name, int mode, int flags);
    // The names in the open folder `folder`, "." and ".." left out; empty when it cannot be read.
    virtual QList<QByteArray> listFolder(int folder);
    // A monotonic clock, in milliseconds, and a pause on it: how a save waits for another game's
    // turn.
    virtual qint64 nowMs();
    virtual void pauseMs(int ms);
};
