#include "testing/os_for_tests.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/capability.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fstream>
#include <string>

namespace ruzd::testing {

std::string EffectiveUserName() {
    const passwd* entry = ::getpwuid(::geteuid());
    return entry != nullptr && entry->pw_name != nullptr ? entry->pw_name : "";
}

bool RunningAsRoot() {
    return ::geteuid() == 0;
}

namespace {
constexpr uid_t kNobody = 65534;
}  // namespace

std::optional<uint32_t> OwnerUid(const std::filesystem::path& path) {
    struct stat found {};
    if (::lstat(path.c_str(), &found) != 0) {
        return std::nullopt;
    }
    return found.st_uid;
}

double ProcessCpuSeconds(int pid) {
    clockid_t clock{};
    timespec used{};
    if (pid <= 0 || ::clock_getcpuclockid(pid, &clock) != 0 || ::clock_gettime(clock, &used) != 0) {
        return 0;
    }
    return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
}

bool ProcessHasEnded(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return true;
    }
    // The state follows the name in parentheses, which may hold blanks and parentheses itself.
    const size_t after_name = line.rfind(')');
    return after_name != std::string::npos && after_name + 2 < line.size() &&
           line[after_name + 2] == 'Z';
}

bool BecomeNobody() {
    return ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
}

bool GiveToNobody(const std::filesystem::path& path) {
    return ::lchown(path.c_str(), kNobody, kNobody) == 0;
}

bool GiveToGroupNogroup(const std::filesystem::path& path) {
    return ::lchown(path.c_str(), static_cast<uid_t>(-1), kNobody) == 0;
}

bool MakeFifo(const std::filesystem::path& path) {
    return ::mkfifo(path.c_str(), 0600) == 0;
}

FullFifo::FullFifo(const std::filesystem::path& path) {
    if (!MakeFifo(path)) {
        return;
    }
    // Read and write: the open waits for no other end, and the FIFO stays open to writers.
    fd_ = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        return;
    }
    const std::string chunk(4096, 'x');
    for (;;) {
        const ssize_t written = ::write(fd_, chunk.data(), chunk.size());
        if (written < 0 && errno == EAGAIN) {
            // Not even one byte more goes in.
            full_ = ::write(fd_, chunk.data(), 1) < 0 && errno == EAGAIN;
            return;
        }
        if (written < 0 && errno != EINTR) {
            return;
        }
    }
}

FullFifo::~FullFifo() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

// Capabilities belong to the thread: the raw system calls change the caller's alone, where the C
// library's set-id calls would change every thread's.
bool DropPriorityRightOfThisThread() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (::syscall(SYS_capget, &header, data) != 0) {
        return false;
    }
    const uint32_t bit = 1u << (CAP_SYS_NICE % 32);
    data[CAP_SYS_NICE / 32].effective &= ~bit;
    data[CAP_SYS_NICE / 32].permitted &= ~bit;
    data[CAP_SYS_NICE / 32].inheritable &= ~bit;
    rlimit nice_limit{};
    // Without the right, only the nice limit lets a thread rise; an account has none by default.
    return ::syscall(SYS_capset, &header, data) == 0 &&
           ::getrlimit(RLIMIT_NICE, &nice_limit) == 0 && nice_limit.rlim_cur == 0;
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

FileSizeLimit::FileSizeLimit(unsigned long long bytes) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0) {
        return;
    }
    signal_was_ignored_ = ::signal(SIGXFSZ, SIG_IGN) == SIG_IGN;
    previous_soft_limit_ = limit.rlim_cur;
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    lowered_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

FileSizeLimit::~FileSizeLimit() {
    rlimit limit{};
    if (lowered_ && ::getrlimit(RLIMIT_FSIZE, &limit) == 0) {
        limit.rlim_cur = static_cast<rlim_t>(previous_soft_limit_);
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (!signal_was_ignored_) {
        ::signal(SIGXFSZ, SIG_DFL);
    }
}

TestPipe::TestPipe() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) == 0) {
        read_fd_ = ends[0];
        write_fd_ = ends[1];
    }
}

TestPipe::~TestPipe() {
    CloseWriteEnd();
    if (read_fd_ >= 0) {
        ::close(read_fd_);
    }
}

void TestPipe::CloseWriteEnd() {
    if (write_fd_ >= 0) {
        ::close(write_fd_);
        write_fd_ = -1;
    }
}

std::string TestPipe::ReadToEnd() {
    std::string bytes;
    char chunk[4096];
    for (;;) {
        const ssize_t read = ::read(read_fd_, chunk, sizeof chunk);
        if (read > 0) {
            bytes.append(chunk, static_cast<size_t>(read));
        } else if (read == 0 || errno != EINTR) {
            return bytes;
        }
    }
}

}  // namespace ruzd::testing
