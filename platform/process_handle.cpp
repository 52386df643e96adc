#include "platform/process_handle.h"

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "platform/waitable.h"
#include "platform/win_error.h"

namespace ruzd::platform {
namespace {

// The C library's wrappers of these calls lack C linkage in its header; the calls themselves
// are plain system calls.
int PidfdOpen(pid_t pid) {
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
}

int PidfdSendSignal(int pidfd, int signal_number) {
    return static_cast<int>(::syscall(SYS_pidfd_send_signal, pidfd, signal_number, nullptr, 0));
}

}  // namespace

std::unique_ptr<ProcessHandle> ProcessHandle::Open(uint32_t pid) {
    if (pid == 0 || pid > static_cast<uint32_t>(INT32_MAX)) {
        SetLastError(kErrorInvalidParameter);
        return nullptr;
    }
    const int fd = PidfdOpen(static_cast<pid_t>(pid));
    if (fd < 0) {
        SetLastError(errno == ESRCH ? kErrorInvalidParameter : WinErrorFromLastErrno());
        return nullptr;
    }
    return std::make_unique<ProcessHandle>(pid, fd);
}

bool ProcessHandle::WaitForEnd(uint32_t timeout_ms) {
    using Clock = std::chrono::steady_clock;
    const std::optional<Clock::time_point> deadline = DeadlineAfter(timeout_ms);
    for (;;) {
        int slice_ms = -1;
        if (deadline) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now());
            slice_ms = static_cast<int>(std::clamp<int64_t>(left.count(), 0, INT32_MAX));
        }
        // The pidfd becomes readable when the process ends, whoever reaps it.
        pollfd entry{fd_.get(), POLLIN, 0};
        const int ready = ::poll(&entry, 1, slice_ms);
        if (ready > 0) {
            return true;
        }
        if (ready < 0 && errno != EINTR) {
            SetLastErrorFromErrno(errno);
            return false;
        }
        if (ready == 0 && slice_ms == 0) {
            return false;
        }
    }
}

bool ProcessHandle::AskToEnd() {
    return Signal(SIGTERM);
}

bool ProcessHandle::Terminate() {
    return Signal(SIGKILL);
}

bool ProcessHandle::Signal(int signal_number) {
    if (PidfdSendSignal(fd_.get(), signal_number) != 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

}  // namespace ruzd::platform
