#include "foundation/program_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>
#include <vector>

#include "foundation/captured_output.h"
#include "foundation/command_line.h"
#include "foundation/running_program.h"
#include "foundation/stand_in_programs.h"
#include "platform/child_process.h"
#include "platform/text.h"
#include "platform/waitable.h"
#include "platform/win_error.h"
#include "platform/win_path.h"

extern char** environ;

namespace ruzd::foundation {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr size_t kChunkBytes = 1024;
constexpr int kPollSliceMs = 100;
// SIGKILL cannot be caught, but a child stuck in the kernel may take a moment to go.
constexpr uint32_t kKilledChildGraceMs = 5000;

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void Reset(int fd = -1) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

// The thread's last error tells the cause of a failure code, as callers of the runner expect.
int Failed(int failure, int errno_value) {
    platform::SetLastErrorFromErrno(errno_value);
    return failure;
}

// A close-on-exec copy above the three standard descriptors, so that setting up the child's
// standard output and error can never overwrite it.
int DuplicateAboveStandardFds(int fd) {
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 3);
}

// Working folders come in Windows form, like every path from the registry or the wire. Empty
// stays empty (the child inherits ours); none when the folder cannot name a place.
std::optional<std::string> HostWorkingFolder(const std::string& working_folder) {
    if (working_folder.empty()) {
        return std::string();
    }
    std::string host = platform::MapWindowsPath(working_folder).string();
    if (host.empty()) {
        return std::nullopt;
    }
    return host;
}

// The pipe the child writes its standard output and standard error into.
struct OutputPipe {
    UniqueFd read_end;
    UniqueFd write_end;  // the child's standard output
    UniqueFd error_end;  // the child's standard error, a second handle on the same pipe

    // Zero on success, else the run's failure code.
    int Open() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            return Failed(kRunPipeFailed, errno);
        }
        UniqueFd raw_read(fds[0]);
        UniqueFd raw_write(fds[1]);
        write_end.Reset(DuplicateAboveStandardFds(raw_write.get()));
        if (!write_end.valid()) {
            return Failed(kRunPipeFailed, errno);
        }
        error_end.Reset(DuplicateAboveStandardFds(write_end.get()));
        if (!error_end.valid()) {
            return Failed(kRunStandardErrorFailed, errno);
        }
        read_end.Reset(DuplicateAboveStandardFds(raw_read.get()));
        if (!read_end.valid()) {
            return Failed(kRunReadEndFailed, errno);
        }
        const int flags = ::fcntl(read_end.get(), F_GETFL);
        if (flags < 0 || ::fcntl(read_end.get(), F_SETFL, flags | O_NONBLOCK) != 0) {
            return Failed(kRunReadEndFailed, errno);
        }
        return 0;
    }
};

// How the child is set up between fork and exec: its standard output and error go into the
// pipe, it inherits no other descriptor of ours, it leads a new process group, and it starts
// with no blocked signals and every signal at its default action (an ignored SIGPIPE of ours
// must not leak into it).
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

    bool Prepare(const OutputPipe& pipe, const std::string& host_folder) {
        if (!actions_ok_ || !attributes_ok_) {
            return false;
        }
        sigset_t no_signals;
        sigset_t all_signals;
        sigemptyset(&no_signals);
        sigfillset(&all_signals);
        const short flags = POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
        bool ok = posix_spawn_file_actions_adddup2(&actions_, pipe.write_end.get(), 1) == 0 &&
                  posix_spawn_file_actions_adddup2(&actions_, pipe.error_end.get(), 2) == 0 &&
                  posix_spawn_file_actions_addclosefrom_np(&actions_, 3) == 0 &&
                  posix_spawnattr_setflags(&attributes_, flags) == 0 &&
                  posix_spawnattr_setpgroup(&attributes_, 0) == 0 &&
                  posix_spawnattr_setsigmask(&attributes_, &no_signals) == 0 &&
                  posix_spawnattr_setsigdefault(&attributes_, &all_signals) == 0;
        if (ok && !host_folder.empty()) {
            ok = posix_spawn_file_actions_addchdir_np(&actions_, host_folder.c_str()) == 0;
        }
        return ok;
    }

    // The child's pid, or none (with the thread's last error set) when it could not be started.
    std::optional<pid_t> Spawn(const std::vector<std::string>& args) {
        std::vector<char*> argv;
        argv.reserve(args.size() + 1);
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        pid_t pid = 0;
        const int error =
            posix_spawnp(&pid, argv[0], &actions_, &attributes_, argv.data(), environ);
        if (error != 0) {
            platform::SetLastErrorFromErrno(error);
            return std::nullopt;
        }
        return pid;
    }

private:
    posix_spawn_file_actions_t actions_;
    posix_spawnattr_t attributes_;
    bool actions_ok_ = false;
    bool attributes_ok_ = false;
};

// Reads the child's output until the child ends or the deadline passes.
class OutputCollector {
public:
    OutputCollector(int read_end, std::string& output) : read_end_(read_end), output_(output) {}

    void CollectUntilEnd(platform::ChildProcess& child,
                         std::optional<SteadyClock::time_point> deadline) {
        // The deadline is looked at between every two chunks: a child that never stops writing
        // is still ended at its time-out.
        for (;;) {
            if (child.HasEnded()) {
                TakePending();
                return;
            }
            int wait_ms = kPollSliceMs;
            if (deadline) {
                const auto left =
                    std::chrono::ceil<std::chrono::milliseconds>(*deadline - SteadyClock::now());
                if (left.count() <= 0) {
                    return;
                }
                wait_ms = static_cast<int>(std::min<int64_t>(left.count(), kPollSliceMs));
            }
            pollfd readable{read_end_, POLLIN, 0};
            if (::poll(&readable, 1, wait_ms) > 0) {
                ReadChunk(kChunkBytes);
            }
        }
    }

    void Finish() { decoder_.Finish(output_); }

private:
    // What the child left in the pipe when it ended. Only that much is read: a process that
    // outlives the child and keeps writing must not hold the run open.
    void TakePending() {
        int pending = 0;
        if (::ioctl(read_end_, FIONREAD, &pending) != 0) {
            return;
        }
        while (pending > 0) {
            const ssize_t got = ReadChunk(std::min<size_t>(kChunkBytes, pending));
            if (got <= 0) {
                return;
            }
            pending -= static_cast<int>(got);
        }
    }

    ssize_t ReadChunk(size_t limit) {
        char buffer[kChunkBytes];
        ssize_t got;
        do {
            got = ::read(read_end_, buffer, std::min(limit, sizeof(buffer)));
        } while (got < 0 && errno == EINTR);
        if (got > 0) {
            decoder_.Append(std::string_view(buffer, static_cast<size_t>(got)), output_);
        }
        return got;
    }

    int read_end_;
    std::string& output_;
    CapturedOutputDecoder decoder_;
};

std::optional<SteadyClock::time_point> DeadlineAfter(uint32_t timeout_ms) {
    if (timeout_ms == kRunNoTimeout) {
        return std::nullopt;
    }
    return SteadyClock::now() + std::chrono::milliseconds(timeout_ms);
}

int ExitResult(const platform::ChildProcess& child) {
    const std::optional<int> code = child.ExitCode();
    return code ? *code : kRunNoExitCode;
}

}  // namespace

int ProgramRunner::Run(const std::string& command_line, const std::string& working_folder,
                       std::string& output, uint32_t timeout_ms) {
    output.clear();
    OutputPipe pipe;
    if (const int failure = pipe.Open(); failure != 0) {
        return failure;
    }
    std::vector<std::string> args = SplitCommandLine(command_line);
    if (args.empty() || args.front().empty()) {
        return Failed(kRunStartFailed, ENOENT);
    }
    if (std::optional<std::string> standIn = StandInProgram(args.front())) {
        args.front() = std::move(*standIn);
    }
    const std::optional<std::string> folder = HostWorkingFolder(working_folder);
    if (!folder) {
        return Failed(kRunStartFailed, ENOENT);
    }
    SpawnSetup setup;
    if (!setup.Prepare(pipe, *folder)) {
        return Failed(kRunStandardErrorFailed, ENOMEM);
    }
    const std::optional<pid_t> pid = setup.Spawn(args);
    if (!pid) {
        return kRunStartFailed;
    }
    const std::optional<SteadyClock::time_point> deadline = DeadlineAfter(timeout_ms);
    platform::ChildProcess child(*pid);

    OutputCollector collector(pipe.read_end.get(), output);
    collector.CollectUntilEnd(child, deadline);
    collector.Finish();
    const bool timed_out = deadline && SteadyClock::now() >= *deadline;

    // The group goes with the run, as a job closed with the run would take its processes: a
    // timed-out child with all it started, or what the child left running behind it. The
    // group id stays reserved while any member lives, so it names no stranger.
    ::kill(-*pid, SIGKILL);
    if (!child.HasEnded()) {
        child.ended().Wait(kKilledChildGraceMs);
    }
    return timed_out ? kRunTimedOut : ExitResult(child);
}

int ProgramRunner::RunSelf(const std::string& arguments, std::string& output, uint32_t timeout_ms) {
    const std::string self = RunningProgramPath().string();
    if (self.empty()) {
        output.clear();
        return Failed(kRunStartFailed, ENOENT);
    }
    // The child inherits the current folder, which is what naming it would give.
    return Run(platform::Format("\"%s\" %s", self.c_str(), arguments.c_str()), std::string(),
               output, timeout_ms);
}

}  // namespace ruzd::foundation
