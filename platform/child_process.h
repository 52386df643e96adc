#pragma once

// A child process seen as a waitable: its end can be waited for beside events and threads.
// A watcher thread reaps the child, so nobody else may wait for the pid.

#include <sys/types.h>

#include <atomic>
#include <memory>
#include <optional>

#include "platform/event.h"

namespace ruzd::platform {

class ChildProcess {
public:
    // Takes over the reaping of `pid`, a child of this process.
    explicit ChildProcess(pid_t pid);
    // A child still running is left to its watcher, which reaps it when it ends.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    Waitable& ended() { return state_->ended; }
    bool HasEnded() const { return state_->ended.IsSet(); }

    // The raw wait status once the child has ended.
    std::optional<int> WaitStatus() const;
    // The exit code when the child called exit (0..255); none when it was killed by a signal
    // or has not ended.
    std::optional<int> ExitCode() const;
    // The signal that killed the child, if one did.
    std::optional<int> TermSignal() const;

private:
    struct State {
        Event ended{true};
        std::atomic<int> status{0};
    };
    pid_t pid_;
    std::shared_ptr<State> state_;
};

}  // namespace ruzd::platform
