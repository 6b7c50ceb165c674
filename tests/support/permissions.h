#pragma once
// Root writes into read-only folders: its capabilities override the
// permission bits. Tests of what a read-only folder does to a save hold the
// calling thread to the permission bits for a while, so that they run as
// root too (CI runs as root).
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace r56::test {

// While it lives, the calling thread (and the threads it starts) has no
// permission override: the override capabilities leave its effective set,
// and come back from the permitted set afterwards. Threads started before
// keep theirs. heldToPermissions() is false only where root could not give
// them up.
class WithoutPermissionOverride
{
public:
    WithoutPermissionOverride()
    {
        if (::geteuid() != 0)
            return;
        if (::syscall(SYS_capget, &m_header, m_old) != 0)
            return;
        __user_cap_data_struct lowered[2] = {m_old[0], m_old[1]};
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_dropped = ::syscall(SYS_capset, &m_header, lowered) == 0;
    }
    ~WithoutPermissionOverride()
    {
        if (m_dropped)
            ::syscall(SYS_capset, &m_header, m_old);
    }
    WithoutPermissionOverride(const WithoutPermissionOverride &) = delete;
    WithoutPermissionOverride &operator=(const WithoutPermissionOverride &) = delete;

    bool heldToPermissions() const { return ::geteuid() != 0 || m_dropped; }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_old[2]{};
    bool m_dropped = false;
};

} // namespace r56::test
