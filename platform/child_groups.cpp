#include "platform/child_groups.h"

#include <signal.h>

#include <atomic>

namespace ruzd::platform {
namespace {

// A slot holds a leader's pid, or 0 when free. Slots rather than a guarded list: the way out
// reads them while any other thread may be keeping or forgetting one.
std::atomic<pid_t> g_groups[kMaxChildGroups];

}  // namespace

bool KeepChildGroup(pid_t leader) {
    if (leader <= 0) {
        return false;
    }
    for (std::atomic<pid_t>& slot : g_groups) {
        pid_t free = 0;
        if (slot.compare_exchange_strong(free, leader)) {
            return true;
        }
    }
    return false;
}

void ForgetChildGroup(pid_t leader) {
    if (leader <= 0) {
        return;
    }
    for (std::atomic<pid_t>& slot : g_groups) {
        pid_t kept = leader;
        if (slot.compare_exchange_strong(kept, 0)) {
            return;
        }
    }
}

void KillChildGroups() {
    for (const std::atomic<pid_t>& slot : g_groups) {
        // A group is kept only while its owner sees to it, which ends it before letting it go:
        // its id names no stranger.
        if (const pid_t leader = slot.load(); leader > 0) {
            ::kill(-leader, SIGKILL);
        }
    }
}

}  // namespace ruzd::platform
