#include "score/Disk.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

Disk &Disk::system()
{
    static Disk disk;
    return disk;
}

int Disk::open(const char *path, int flags, mode_t mode)
{
    return ::open(path, flags, mode);
}

ssize_t Disk::read(int fd, void *buffer, size_t size)
{
    return ::read(fd, buffer, size);
}

ssize_t Disk::pwrite(int fd, const void *buffer, size_t size, off_t offset)
{
    return ::pwrite(fd, buffer, size, offset);
}

int Disk::fsync(int fd)
{
    return ::fsync(fd);
}

int Disk::fsyncFolder(int fd)
{
    return ::fsync(fd);
}

int Disk::ftruncate(int fd, off_t size)
{
    return ::ftruncate(fd, size);
}

int Disk::reserve(int fd, off_t size)
{
    return ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size);
}

int Disk::rename(const char *from, const char *to)
{
    return ::rename(from, to);
}

int Disk::unlink(const char *path)
{
    return ::unlink(path);
}

int Disk::flock(int fd, int operation)
{
    return ::flock(fd, operation);
}

int Disk::close(int fd)
{
    return ::close(fd);
}
