#include "platform/child_process.h"

#include <sys/wait.h>

#include <cerrno>
#include <thread>

namespace ruzd::platform {

ChildProcess::ChildProcess(pid_t pid) : pid_(pid), state_(std::make_shared<State>()) {
    std::thread([pid, state = state_] {
        int status = 0;
        pid_t result;
        do {
            result = ::waitpid(pid, &status, 0);
        } while (result < 0 && errno == EINTR);
        state->status.store(result == pid ? status : 0);
        state->ended.Set();
    }).detach();
}

ChildProcess::~ChildProcess() = default;

std::optional<int> ChildProcess::WaitStatus() const {
    if (!HasEnded()) {
        return std::nullopt;
    }
    return state_->status.load();
}

std::optional<int> ChildProcess::ExitCode() const {
    const std::optional<int> status = WaitStatus();
    if (!status || !WIFEXITED(*status)) {
        return std::nullopt;
    }
    return WEXITSTATUS(*status);
}

std::optional<int> ChildProcess::TermSignal() const {
    const std::optional<int> status = WaitStatus();
    if (!status || !WIFSIGNALED(*status)) {
        return std::nullopt;
    }
    return WTERMSIG(*status);
}

}  // namespace ruzd::platform
