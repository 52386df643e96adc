#include "testing/os_for_tests.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

namespace ruzd::testing {

std::string EffectiveUserName() {
    const passwd* entry = ::getpwuid(::geteuid());
    return entry != nullptr && entry->pw_name != nullptr ? entry->pw_name : "";
}

bool RunningAsRoot() {
    return ::geteuid() == 0;
}

bool BecomeNobody() {
    constexpr uid_t kNobody = 65534;
    return ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
}

bool RaiseDescriptorLimit(size_t count) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return false;
    }
    if (limit.rlim_cur >= count) {
        return true;
    }
    // Root may raise the hard limit too.
    const rlimit wanted{static_cast<rlim_t>(count), static_cast<rlim_t>(count)};
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < count &&
        ::setrlimit(RLIMIT_NOFILE, &wanted) == 0) {
        return true;
    }
    limit.rlim_cur = limit.rlim_max == RLIM_INFINITY ? static_cast<rlim_t>(count)
                                                     : std::min<rlim_t>(limit.rlim_max, count);
    return ::setrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur >= count;
}

LastDescriptorLeft::LastDescriptorLeft() {
    rlimit limit{};
    // The lowest free descriptor: every one below it is taken.
    const int probe = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (probe < 0 || ::getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        if (probe >= 0) {
            ::close(probe);
        }
        return;
    }
    previous_soft_limit_ = limit.rlim_cur;
    limit.rlim_cur = static_cast<rlim_t>(probe) + 1;
    lowered_ = ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
    ::close(probe);
}

LastDescriptorLeft::~LastDescriptorLeft() {
    rlimit limit{};
    if (lowered_ && ::getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        limit.rlim_cur = static_cast<rlim_t>(previous_soft_limit_);
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

}  // namespace ruzd::testing
