#pragma once

#include <sys/types.h>

// The system calls through which the safe file replace (SafeFile) touches files: the seam through
// which tests make a step fail, stall or stop as a failing disk, a stopped game or a kill would.
// The game uses this class as it is; only tests derive from it, so the game carries no test hook.
// Each call behaves as the system call of its name: -1 and errno on failure.
class Disk {
public:
    virtual ~Disk() = default;

    // The plain system calls, shared by every save of the process.
    static Disk &system();

    virtual int open(const char *path, int flags, mode_t mode = 0);
    virtual ssize_t read(int fd, void *buffer, size_t size);
    virtual ssize_t pwrite(int fd, const void *buffer, size_t size, off_t offset);
    // Puts a file's bytes on disk.
    virtual int fsync(int fd);
    // Puts a folder's entries on disk (a rename or a new name in it).
    virtual int fsyncFolder(int fd);
    virtual int ftruncate(int fd, off_t size);
    // Claims the space of the first `size` bytes, keeping the file's size.
    virtual int reserve(int fd, off_t size);
    virtual int rename(const char *from, const char *to);
    virtual int unlink(const char *path);
    // flock(2) on the descriptor.
    virtual int flock(int fd, int operation);
    virtual int close(int fd);
};
