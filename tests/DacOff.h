#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

// Makes file permissions bind the calling thread even when it runs as root (as on CI machines), by
// taking the capabilities that override them (or the ones given, say the right to give files
// away) out of its effective set while this lives; they stay permitted and come back on
// destruction. Without root it changes nothing.
class DacOff {
public:
    explicit DacOff(__u32 taken = 1u << CAP_DAC_OVERRIDE | 1u << CAP_DAC_READ_SEARCH)
    {
        if (geteuid() != 0 || !get(m_saved))
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~taken;
        m_dropped = set(reduced);
    }
    ~DacOff()
    {
        if (m_dropped)
            set(m_saved);
    }
    DacOff(const DacOff &) = delete;
    DacOff &operator=(const DacOff &) = delete;

private:
    static bool get(__user_cap_data_struct (&data)[2])
    {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        return syscall(SYS_capget, &header, data) == 0;
    }
    static bool set(__user_cap_data_struct (&data)[2])
    {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        return syscall(SYS_capset, &header, data) == 0;
    }

    __user_cap_data_struct m_saved[2]{};
    bool m_dropped = false;
};
