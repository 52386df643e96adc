#pragma once

// A handle on another process, as OpenProcess gives one: it names the process that had the pid
// when it was opened, never a stranger that is given the same pid after the process has gone.

#include <cstdint>
#include <memory>

#include "platform/owned_fd.h"

namespace ruzd::platform {

class ProcessHandle {
public:
    // Null when there is no such process (last error kErrorInvalidParameter, as OpenProcess
    // reports it) or it cannot be opened.
    static std::unique_ptr<ProcessHandle> Open(uint32_t pid);

    uint32_t pid() const { return pid_; }

    // Waits up to `timeout_ms` (kInfinite: no limit) for the process to end; whether it has.
    bool WaitForEnd(uint32_t timeout_ms);

    // Asks the process to end (SIGTERM), as closing a program without windows does.
    bool AskToEnd();
    // Ends the process at once (SIGKILL), as TerminateProcess does.
    bool Terminate();

    ProcessHandle(uint32_t pid, int pidfd) : pid_(pid), fd_(pidfd) {}

private:
    bool Signal(int signal_number);

    uint32_t pid_;
    OwnedFd fd_;
};

}  // namespace ruzd::platform
