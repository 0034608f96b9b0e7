#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace vellumark::testing {

// While it lives, the calling thread and every thread it starts meanwhile are refused what
// file permissions refuse, also when the tests run as root: root's override of them
// (CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH) leaves the thread's effective capabilities and comes
// back at the end. Capabilities belong to a thread, so nothing else in the process is touched.
// Callers still check that a folder of mode 000 is refused before relying on it.
class PermissionsBite {
public:
    PermissionsBite()
    {
        if (::syscall(SYS_capget, &header_, saved_) != 0)
            return;
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        for (int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
            reduced[capability / 32].effective &= ~(1u << (capability % 32));
        changed_ = ::syscall(SYS_capset, &header_, reduced) == 0;
    }
    ~PermissionsBite()
    {
        if (changed_)
            ::syscall(SYS_capset, &header_, saved_);
    }
    PermissionsBite(const PermissionsBite&) = delete;
    PermissionsBite& operator=(const PermissionsBite&) = delete;

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool changed_ = false;
};

}  // namespace vellumark::testing
