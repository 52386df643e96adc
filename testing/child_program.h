#pragma once

// Programs that tests start as child processes. The one place of the tests that starts, signals
// and reaps processes itself.

#include <sys/types.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ruzd::testing {

// The folder of the built programs: the node's, the stand-ins' and the tests' helpers.
std::filesystem::path ProgramFolder();

// How a program is started beside the test's own settings.
struct ProgramStart {
    std::filesystem::path program{};
    std::vector<std::string> arguments{};
    // "NAME=value" entries in place of the test's own variables of those names.
    std::vector<std::string> environment{};
    // The child's current folder; the test's when empty.
    std::filesystem::path folder{};
    // Files that take the child's output and error output; the test's own when empty.
    std::filesystem::path stdout_file{};
    std::filesystem::path stderr_file{};
    // Descriptors that become the child's input and output; the test's own when -1.
    int stdin_fd = -1;
    int stdout_fd = -1;
    // A folder the child sees read-only whatever its rights, root's too (a read-only bind mount
    // in a mount namespace of the child's own; see read_only_folder_run.cpp); none when empty.
    std::filesystem::path read_only_folder{};
    // The child's descriptor limit (RLIMIT_NOFILE); the test's own when 0.
    size_t max_open_files = 0;
    // A program and its arguments that run the program in their turn (strace, which makes its
    // system calls fail on purpose); none when empty.
    std::vector<std::string> runner{};
};

// Starts the program; its pid, or -1 when it could not be started.
pid_t StartProgram(const ProgramStart& start);

// Waits for the child `pid` to end; its exit code, or -1 when it did not exit by itself.
int WaitForExitCode(pid_t pid);

// The exit code of the child `pid` once it has ended (-1 when it did not exit by itself), which
// reaps it; none while it runs.
std::optional<int> ExitCodeIfEnded(pid_t pid);

// Runs the program to its end; its exit code, or -1 when it did not start or exit by itself.
int RunProgram(const ProgramStart& start);

// Starts `command` (a program's full path and its arguments) as another account of the machine
// (uid 65534, no other groups) through setpriv, as a test run as root can, with its output
// discarded: its pid, or -1.
pid_t StartAsAnotherAccount(const std::vector<std::string>& command);
// The same, run to its end: its exit code, or -1.
int RunAsAnotherAccount(const std::vector<std::string>& command);

// A command of another account (as StartAsAnotherAccount) that means to hold a flock of `file`
// ("-x" exclusive or "-s" shared) as long as it can: it ends at once, with a failure, when it
// cannot open the file. The destructor ends it.
class AnotherAccountLock {
public:
    AnotherAccountLock(const char* mode, const std::filesystem::path& file);
    ~AnotherAccountLock();
    AnotherAccountLock(const AnotherAccountLock&) = delete;
    AnotherAccountLock& operator=(const AnotherAccountLock&) = delete;

    // Its exit code once it ended; none while it holds on.
    std::optional<int> Ended();
    // Whether it came to hold the lock: an exclusive lock of the test's is refused.
    bool Holds();

private:
    std::filesystem::path file_;
    pid_t pid_;
    bool ended_ = false;
};

// Sends `signal` to the process `pid`.
void SendSignal(pid_t pid, int signal);

// Ends the process `pid` at once, without giving it a chance to clean up.
void KillProgram(pid_t pid);

// A helper program of the tests run as a child process, talked to in lines: its stdin is a pipe
// the test writes, its stdout one the test reads with a time limit. Closing stdin is the usual
// way to end it; the destructor closes it, kills a child that does not end by then and reaps it.
class ChildProgram {
public:
    // `program` is a file name in the program folder.
    ChildProgram(const std::string& program, const std::vector<std::string>& arguments);
    ~ChildProgram();
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // The next line of the child's output, or nullopt when none comes within `limit` or the
    // output ends.
    std::optional<std::string> ReadLine(std::chrono::milliseconds limit = std::chrono::seconds(10));
    void WriteLine(const std::string& line);
    void CloseStdin();

    void Kill(int signal = SIGKILL);
    // Stops the child, as a debugger or a hung machine would, and returns once it has stopped.
    void Suspend();
    void Resume();
    // The exit code, or 128 + the signal that ended the child.
    int Wait();

private:
    bool WaitFor(std::chrono::milliseconds limit);

    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
    std::string buffered_;
};

// Starts the helper program `name` of the program folder as the user "nobody" (65534, no other
// groups) through setpriv. It runs from a copy in `folder`, which is opened for other users to
// pass through: the build folder's path need not let them. Only root can start it.
std::unique_ptr<ChildProgram> StartAsNobody(const std::string& name,
                                            const std::vector<std::string>& arguments,
                                            const std::filesystem::path& folder);

}  // namespace ruzd::testing
