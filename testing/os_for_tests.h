#pragma once

// What tests ask the system about the process they run in, independently of the code under
// test, and the change of rights a test child needs.

#include <cstddef>
#include <string>

namespace ruzd::testing {

// The name of the account of the effective user id, from the password database; "" when it has
// none.
std::string EffectiveUserName();

bool RunningAsRoot();

// Makes the calling process the unprivileged user "nobody" (65534) with no other groups; false
// when the system refuses.
bool BecomeNobody();

// Takes the right to raise priorities (CAP_SYS_NICE) from the calling thread, and from the
// threads it starts from now on, as an unprivileged account lacks it; the rest of the process
// keeps its rights. False when the system refuses.
bool DropPriorityRightOfThisThread();

// Raises the process's descriptor limit (RLIMIT_NOFILE) to at least `count`, as far as the hard
// limit allows (or beyond it, for root); whether `count` descriptors may now be open.
bool RaiseDescriptorLimit(size_t count);

// Lowers the process's descriptor limit (RLIMIT_NOFILE) so that one descriptor is left, which
// the next descriptor opened takes; every later one fails with EMFILE. The limit comes back
// when the object goes.
class LastDescriptorLeft {
public:
    LastDescriptorLeft();
    ~LastDescriptorLeft();
    LastDescriptorLeft(const LastDescriptorLeft&) = delete;
    LastDescriptorLeft& operator=(const LastDescriptorLeft&) = delete;

    bool valid() const { return lowered_; }

private:
    unsigned long long previous_soft_limit_ = 0;
    bool lowered_ = false;
};

}  // namespace ruzd::testing
