#pragma once

// A child process seen as a waitable: its end can be waited for beside events and threads.
// A watcher thread reaps the child, so nobody else may wait for the pid.

#include <sys/types.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/event.h"

namespace ruzd::platform {

class ChildOutput;

// How a child is started.
struct ChildStart {
    // The program first: a name without '/' is searched on PATH.
    std::vector<std::string> arguments;
    // The child's current folder (a host path); empty: ours.
    std::string working_folder;
    // Where the child's standard output and error go; null: ours.
    ChildOutput* output = nullptr;
    // The child reads its standard input from /dev/null instead of ours, so that a program
    // started for the user never competes with us for a terminal.
    bool null_input = false;
    // The child leads a process group of its own, which KillGroup ends as a whole, and so does
    // an abrupt end of this process while the ChildProcess lives (platform/child_groups.h).
    bool own_process_group = false;
    // The child leads a session of its own (and so a process group too): no terminal's signals
    // reach it.
    bool own_session = false;
    // "NAME=value" entries that make up the child's whole environment; none: ours. A program
    // name without '/' is still looked for on our PATH.
    std::optional<std::vector<std::string>> environment;
    // A host file, created when missing, that the child's standard output and error are
    // appended to; empty: `output`'s pipe, or ours. The start fails when it cannot be opened
    // or is no regular file (a FIFO, say: refused at once, never waited on).
    std::string output_file;
    // The child's standard output and error go to /dev/null (before `output_file` and
    // `output`).
    bool null_output = false;
    // A descriptor of ours that the child gets as its descriptor 3; -1: none.
    int passed_descriptor = -1;
};

class ChildProcess {
public:
    enum class StartFailure {
        kNone,
        kSetup,  // the start could not be prepared (no memory)
        kStart,  // the program could not be started (not found, no rights, bad folder, ...)
    };

    // Starts a child that inherits no descriptor of ours beyond its standard ones and starts
    // with no blocked signals and every signal at its default action (a signal we ignore must
    // not leak into it). Null when it did not start, with the thread's last error set and
    // `failure`, when given, saying at which step.
    static std::unique_ptr<ChildProcess> Start(const ChildStart& start,
                                               StartFailure* failure = nullptr);

    // Takes over the reaping of `pid`, a child of this process.
    explicit ChildProcess(pid_t pid);
    // A child still running is left to its watcher, which reaps it when it ends; its group is
    // no longer ended with this process.
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

    // Waits up to `timeout_ms` until `output` has something to read (or has reached its end) or
    // the child has ended, whichever comes first: the end is seen the moment it comes, not at
    // the wait's end. True when `output` can be read.
    bool WaitForOutputOrEnd(const ChildOutput& output, int timeout_ms) const;

    // Kills the process group the child leads (ChildStart::own_process_group) with whatever is
    // left in it. The group id stays reserved while any member lives, so it names no stranger.
    void KillGroup();

private:
    struct State {
        State();
        ~State();
        Event ended{true};
        std::atomic<int> status{0};
        // Readable once the child has ended, for waits beside other descriptors; -1 when it
        // could not be made (such waits then run to their time-out).
        int end_descriptor = -1;
    };
    pid_t pid_;
    std::shared_ptr<State> state_;
    // Whether the child's group is among those an abrupt end of this process kills.
    bool group_kept_ = false;
};

}  // namespace ruzd::platform
