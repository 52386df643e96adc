#pragma once

// What tests ask the system about the process they run in (or a child's), independently of the
// code under test, and the change of rights a test child needs.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace ruzd::testing {

// The name of the account of the effective user id, from the password database; "" when it has
// none.
std::string EffectiveUserName();

bool RunningAsRoot();

// Makes a FIFO at `path` (readable and writable by the owner), which blocks whoever opens it until
// the other end is opened too, for code that must not wait on one where a file of its own should
// be: false when the system refused.
bool MakeFifo(const std::filesystem::path& path);

// A FIFO at `path` (readable and writable by the owner) that the test holds open and has filled
// to the brim, as a reader that stopped reading leaves one: an open of it to write or to read
// and write goes through at once, and the first write then waits for room that never comes.
// Closed (and so emptied) when the object goes; the FIFO itself stays.
class FullFifo {
public:
    explicit FullFifo(const std::filesystem::path& path);
    ~FullFifo();
    FullFifo(const FullFifo&) = delete;
    FullFifo& operator=(const FullFifo&) = delete;

    bool valid() const { return full_; }

private:
    int fd_ = -1;
    bool full_ = false;
};

// The user id that owns what `path` names itself (a symbolic link is not followed); none when
// there is nothing.
std::optional<uint32_t> OwnerUid(const std::filesystem::path& path);

// The processor time the process `pid` (all its threads, kernel time included) has used so far,
// in seconds; 0 when it cannot be read.
double ProcessCpuSeconds(int pid);

// Whether the process `pid` runs no more: gone, or a zombie nobody has reaped yet (a process
// re-parented to an init that does not reap).
bool ProcessHasEnded(int pid);

// Makes the calling process the unprivileged user "nobody" (65534) with no other groups; false
// when the system refuses.
bool BecomeNobody();

// Gives the file (not a link's target) to the user and group "nobody" (65534), as root can;
// false when the system refuses.
bool GiveToNobody(const std::filesystem::path& path);

// Gives the file (not a link's target) to the group "nogroup" (65534), whose members are other
// accounts than root's, leaving its owner; false when the system refuses.
bool GiveToGroupNogroup(const std::filesystem::path& path);

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

// Lowers the process's file size limit (RLIMIT_FSIZE) to `bytes`, as a full disk would stop
// the files it writes: a write that would go beyond is cut short there, and one that starts
// there fails (EFBIG; the signal that would end the process is ignored meanwhile). The limit
// and the signal's handling come back when the object goes.
class FileSizeLimit {
public:
    explicit FileSizeLimit(unsigned long long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool valid() const { return lowered_; }

private:
    unsigned long long previous_soft_limit_ = 0;
    bool lowered_ = false;
    bool signal_was_ignored_ = false;
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
