#include "platform/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/child_groups.h"
#include "platform/child_output.h"
#include "platform/owned_fd.h"
#include "platform/regular_file.h"
#include "platform/win_error.h"

extern char** environ;

namespace ruzd::platform {
namespace {

// The spawn's file actions and attributes, released whatever happens.
class SpawnSetup {
public:
    SpawnSetup() {
        actions_ok_ = posix_spawn_file_actions_init(&actions_) == 0;
        attributes_ok_ = posix_spawnattr_init(&attributes_) == 0;
    }
    ~SpawnSetup() {
        if (actions_ok_) {
            posix_spawn_file_actions_destroy(&actions_);
        }
        if (attributes_ok_) {
            posix_spawnattr_destroy(&attributes_);
        }
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    bool Prepare(const ChildStart& start, int output_fd, int error_fd) {
        if (!actions_ok_ || !attributes_ok_) {
            return false;
        }
        sigset_t no_signals;
        sigset_t all_signals;
        sigemptyset(&no_signals);
        sigfillset(&all_signals);
        short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
        if (start.own_session) {
            flags |= POSIX_SPAWN_SETSID;
        } else if (start.own_process_group) {
            flags |= POSIX_SPAWN_SETPGROUP;
        }
        bool ok = posix_spawnattr_setflags(&attributes_, flags) == 0 &&
                  posix_spawnattr_setpgroup(&attributes_, 0) == 0 &&
                  posix_spawnattr_setsigmask(&attributes_, &no_signals) == 0 &&
                  posix_spawnattr_setsigdefault(&attributes_, &all_signals) == 0;
        if (ok && start.null_output) {
            ok = posix_spawn_file_actions_addopen(&actions_, 1, "/dev/null", O_WRONLY, 0) == 0 &&
                 posix_spawn_file_actions_adddup2(&actions_, 1, 2) == 0;
        } else if (ok && output_fd >= 0) {
            ok = posix_spawn_file_actions_adddup2(&actions_, output_fd, 1) == 0 &&
                 posix_spawn_file_actions_adddup2(&actions_, error_fd, 2) == 0;
        }
        if (ok && start.null_input) {
            ok = posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0) == 0;
        }
        int first_closed = 3;
        if (ok && start.passed_descriptor >= 0) {
            // dup2 onto itself clears close-on-exec, so a descriptor that is 3 already passes too.
            ok = posix_spawn_file_actions_adddup2(&actions_, start.passed_descriptor, 3) == 0;
            first_closed = 4;
        }
        if (ok) {
            ok = posix_spawn_file_actions_addclosefrom_np(&actions_, first_closed) == 0;
        }
        if (ok && !start.working_folder.empty()) {
            ok = posix_spawn_file_actions_addchdir_np(&actions_, start.working_folder.c_str()) == 0;
        }
        return ok;
    }

    // The child's pid, or none with the error number of the failed start.
    std::optional<pid_t> Spawn(const std::vector<std::string>& args,
                               const std::optional<std::vector<std::string>>& environment,
                               int& error) {
        std::vector<char*> argv = Pointers(args);
        std::vector<char*> envp;
        if (environment) {
            envp = Pointers(*environment);
        }
        pid_t pid = 0;
        error = posix_spawnp(&pid, argv[0], &actions_, &attributes_, argv.data(),
                             environment ? envp.data() : environ);
        if (error != 0) {
            return std::nullopt;
        }
        return pid;
    }

private:
    static std::vector<char*> Pointers(const std::vector<std::string>& texts) {
        std::vector<char*> pointers;
        pointers.reserve(texts.size() + 1);
        for (const std::string& text : texts) {
            pointers.push_back(const_cast<char*>(text.c_str()));
        }
        pointers.push_back(nullptr);
        return pointers;
    }

    posix_spawn_file_actions_t actions_;
    posix_spawnattr_t attributes_;
    bool actions_ok_ = false;
    bool attributes_ok_ = false;
};

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::Start(const ChildStart& start, StartFailure* failure) {
    const auto failed = [failure](StartFailure step, int errno_value) {
        SetLastErrorFromErrno(errno_value);
        if (failure != nullptr) {
            *failure = step;
        }
        return nullptr;
    };
    if (start.arguments.empty() || start.arguments.front().empty()) {
        return failed(StartFailure::kStart, ENOENT);
    }
    SpawnSetup setup;
    // The output file is opened here, not in the child: the spawn waits until the child has
    // started the program, so a FIFO that the child's open waited on would hold us too.
    const bool to_file = !start.null_output && !start.output_file.empty();
    const OwnedFd output_file(
        to_file ? OpenRegularFile(start.output_file, O_WRONLY | O_APPEND | O_CREAT, 0644) : -1);
    if (to_file && output_file.get() < 0) {
        return failed(StartFailure::kStart, errno);
    }
    int output_fd = start.output != nullptr ? start.output->write_end_ : -1;
    int error_fd = start.output != nullptr ? start.output->error_end_ : -1;
    if (to_file) {
        output_fd = output_file.get();
        error_fd = output_file.get();
    }
    if (!setup.Prepare(start, output_fd, error_fd)) {
        return failed(StartFailure::kSetup, ENOMEM);
    }
    int error = 0;
    const std::optional<pid_t> pid = setup.Spawn(start.arguments, start.environment, error);
    if (!pid) {
        return failed(StartFailure::kStart, error);
    }
    if (failure != nullptr) {
        *failure = StartFailure::kNone;
    }
    auto child = std::make_unique<ChildProcess>(*pid);
    // A group of its own is a run we bound: it must not outlive us either.
    if (start.own_process_group && !start.own_session) {
        child->group_kept_ = KeepChildGroup(*pid);
    }
    return child;
}

ChildProcess::State::State() : end_descriptor(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

ChildProcess::State::~State() {
    if (end_descriptor >= 0) {
        ::close(end_descriptor);
    }
}

ChildProcess::ChildProcess(pid_t pid) : pid_(pid), state_(std::make_shared<State>()) {
    std::thread([pid, state = state_] {
        int status = 0;
        pid_t result;
        do {
            result = ::waitpid(pid, &status, 0);
        } while (result < 0 && errno == EINTR);
        state->status.store(result == pid ? status : 0);
        state->ended.Set();
        if (state->end_descriptor >= 0) {
            const uint64_t one = 1;
            [[maybe_unused]] const ssize_t written =
                ::write(state->end_descriptor, &one, sizeof one);
        }
    }).detach();
}

ChildProcess::~ChildProcess() {
    if (group_kept_) {
        ForgetChildGroup(pid_);
    }
}

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

bool ChildProcess::WaitForOutputOrEnd(const ChildOutput& output, int timeout_ms) const {
    pollfd watched[] = {{output.read_end_, POLLIN, 0}, {state_->end_descriptor, POLLIN, 0}};
    if (::poll(watched, state_->end_descriptor >= 0 ? 2 : 1, timeout_ms) <= 0) {
        return false;
    }
    return watched[0].revents != 0;
}

void ChildProcess::KillGroup() {
    ::kill(-pid_, SIGKILL);
}

std::optional<int> ChildProcess::TermSignal() const {
    const std::optional<int> status = WaitStatus();
    if (!status || !WIFSIGNALED(*status)) {
        return std::nullopt;
    }
    return WTERMSIG(*status);
}

}  // namespace ruzd::platform
