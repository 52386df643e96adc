#include "testing/os_for_tests.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

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

}  // namespace ruzd::testing
