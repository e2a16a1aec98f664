#pragma once

#include "score/Disk.h"

#include <QByteArray>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <map>
#include <unistd.h>
#include <utility>

// The disk of the score file's tests: the plain system calls, except the steps a test makes fail
// as a failing disk would, stop the process as a kill would, or stall as a stopped game would.
// Only tests build it: the game carries no test hook.
class FaultyDisk : public Disk {
public:
    // Interrupted makes a read or a write return EINTR once; IoError makes it fail; NameTaken makes
    // another file appear at the next temporary name just before it is taken. Create covers every
    // new file (a temporary, the backup); Write, Sync and Rename the temporary's or the target's.
    enum class Step {
        None,
        Create,
        Write,
        Sync,
        SyncFolder,
        Rename,
        Interrupted,
        IoError,
        NameTaken
    };

    // Makes `times` occurrences of `step` fail, after `after` that pass, besides the failures
    // already set for other steps; Step::None ends them all.
    void fail(Step step, int times = 1, int after = 0)
    {
        if (step == Step::None)
            m_failures.fill({});
        else
            m_failures[int(step)] = {after, times};
    }

    // Makes the process kill itself (SIGKILL) at `step`: Write after writing `part` (a half by
    // default) of the bytes of the first write to the temporary file or to the target written in
    // place; Sync after the target written in place is synced; Create after writing half of the
    // backup of a write in place. Step::None ends it.
    void killAt(Step step, double part = 0.5)
    {
        m_killAt = step;
        m_killPart = part;
    }

    // Runs `stall` once at `step` of the next save, which stands still there holding its turn (as a
    // stopped game would) while it runs, say another game's save: Rename just before the temporary
    // file is renamed over the target; Write just before the first write to the temporary file or
    // to the target written in place (the backup of a write in place is then on disk).
    void stallAt(Step step, std::function<void()> stall)
    {
        m_stallAt = step;
        m_stall = std::move(stall);
    }

    int openat(int folder, const char *name, int flags, mode_t mode) override
    {
        const QByteArray path(name);
        if ((flags & O_CREAT) && fails(Step::Create)) {
            errno = EACCES;
            return -1;
        }
        if ((flags & O_EXCL) && isTemporary(path) && fails(Step::NameTaken)) {
            const int other = ::openat(folder, name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (other >= 0) {
                [[maybe_unused]] const ssize_t written = ::write(other, "taken", 5);
                ::close(other);
            }
        }
        const int fd = Disk::openat(folder, name, flags, mode);
        if (fd >= 0)
            m_open[fd] = {path, flags};
        return fd;
    }
    ssize_t read(int fd, void *buffer, size_t size) override
    {
        if (interrupted())
            return -1;
        return Disk::read(fd, buffer, size);
    }
    ssize_t pwrite(int fd, const void *buffer, size_t size, off_t offset) override
    {
        if (fails(Step::Write)) {
            errno = EIO;
            return -1;
        }
        if (interrupted())
            return -1;
        const bool backup = isBackup(m_open[fd].path);
        if (!backup)
            stallAt(Step::Write);
        if ((m_killAt == Step::Write && !backup) || (m_killAt == Step::Create && backup)) {
            const size_t part =
                m_killAt == Step::Create ? size / 2 : size_t(double(size) * m_killPart);
            if (part == 0 || Disk::pwrite(fd, buffer, part, offset) == ssize_t(part))
                ::raise(SIGKILL);
        }
        return Disk::pwrite(fd, buffer, size, offset);
    }
    int fsync(int fd) override
    {
        if (fails(Step::Sync)) {
            errno = EIO;
            return -1;
        }
        const int result = Disk::fsync(fd);
        const Opened &opened = m_open[fd];
        if (m_killAt == Step::Sync && (opened.flags & O_ACCMODE) == O_RDWR
            && !(opened.flags & O_CREAT))
            ::raise(SIGKILL);
        return result;
    }
    int fsyncFolder(int fd) override
    {
        if (fails(Step::SyncFolder)) {
            errno = EIO;
            return -1;
        }
        return Disk::fsyncFolder(fd);
    }
    int renameat(int fromFolder, const char *from, int toFolder, const char *to) override
    {
        if (isTemporary(from)) {
            stallAt(Step::Rename);
            if (fails(Step::Rename)) {
                errno = EIO;
                return -1;
            }
        }
        return Disk::renameat(fromFolder, from, toFolder, to);
    }
    int close(int fd) override
    {
        m_open.erase(fd);
        return Disk::close(fd);
    }

private:
    struct Failures {
        int passing = 0;
        int failing = 0;
    };
    struct Opened {
        QByteArray path;
        int flags = 0;
    };

    static bool isTemporary(const QByteArray &path) { return path.contains(".pemy-save-"); }
    static bool isBackup(const QByteArray &path)
    {
        return path.endsWith("backup") || path.endsWith("backup.part");
    }

    void stallAt(Step step)
    {
        if (m_stallAt == step && m_stall) {
            m_stallAt = Step::None;
            std::exchange(m_stall, nullptr)();
        }
    }
    bool fails(Step step)
    {
        Failures &failures = m_failures[int(step)];
        if (failures.passing > 0) {
            --failures.passing;
            return false;
        }
        if (failures.failing <= 0)
            return false;
        --failures.failing;
        return true;
    }
    bool interrupted()
    {
        if (fails(Step::Interrupted)) {
            errno = EINTR;
            return true;
        }
        if (fails(Step::IoError)) {
            errno = EIO;
            return true;
        }
        return false;
    }

    std::array<Failures, int(Step::NameTaken) + 1> m_failures{};
    Step m_killAt = Step::None;
    double m_killPart = 0.5;
    std::map<int, Opened> m_open;
    Step m_stallAt = Step::None;
    std::function<void()> m_stall;
};
