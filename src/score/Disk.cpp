#include "score/Disk.h"

#include <QElapsedTimer>
#include <QThread>

#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

Disk &Disk::system()
{
    static Disk disk;
    return disk;
}

int Disk::openat(int folder, const char *name, int flags, mode_t mode)
{
    return ::openat(folder, name, flags, mode);
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

int Disk::renameat(int fromFolder, const char *from, int toFolder, const char *to)
{
    return ::renameat(fromFolder, from, toFolder, to);
}

int Disk::unlinkat(int folder, const char *name)
{
    return ::unlinkat(folder, name, 0);
}

int Disk::flock(int fd, int operation)
{
    return ::flock(fd, operation);
}

int Disk::close(int fd)
{
    return ::close(fd);
}

int Disk::fstat(int fd, struct stat *status)
{
    return ::fstat(fd, status);
}

int Disk::fstatat(int folder, const char *name, struct stat *status, int flags)
{
    return ::fstatat(folder, name, status, flags);
}

int Disk::fchown(int fd, uid_t owner, gid_t group)
{
    return ::fchown(fd, owner, group);
}

int Disk::fchmod(int fd, mode_t mode)
{
    return ::fchmod(fd, mode);
}

int Disk::faccessat(int folder, const char *name, int mode, int flags)
{
    return ::faccessat(folder, name, mode, flags);
}

QList<QByteArray> Disk::listFolder(int folder)
{
    // A descriptor of its own: closedir() closes it, and the caller's stays at its place.
    const int own = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *dir = own < 0 ? nullptr : ::fdopendir(own);
    if (!dir) {
        if (own >= 0)
            ::close(own);
        return {};
    }
    QList<QByteArray> names;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    ::closedir(dir);
    return names;
}

qint64 Disk::nowMs()
{
    static const QElapsedTimer clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    return clock.elapsed();
}

void Disk::pauseMs(int ms)
{
    QThread::msleep(ms);
}
