#pragma once

// What tests ask the system about the process they run in (or a child's), independently of the
// code under test, and the change of rights a test child needs.

#include <cstddef>
#include <string>

namespace ruzd::testing {

// The name of the account of the effective user id, from the password database; "" when it has
// none.
std::string EffectiveUserName();

bool RunningAsRoot();

// The processor time the process `pid` (all its threads, kernel time included) has used so far,
// in seconds; 0 when it cannot be read.
double ProcessCpuSeconds(int pid);

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

// A pipe, for code that must cope with an output that cannot seek back. Both ends are closed
// when the object goes, unless closed before.
class TestPipe {
public:
    TestPipe();
    ~TestPipe();
    TestPipe(const TestPipe&) = delete;
    TestPipe& operator=(const TestPipe&) = delete;

    bool valid() const { return read_fd_ >= 0; }
    int read_fd() const { return read_fd_; }
    int write_fd() const { return write_fd_; }
    void CloseWriteEnd();
    // Everything read until every write end is closed.
    std::string ReadToEnd();

private:
    int read_fd_ = -1;
    int write_fd_ = -1;
};

}  // namespace ruzd::testing
