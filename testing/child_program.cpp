#include "testing/child_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "testing/eventually.h"

extern char** environ;

namespace ruzd::testing {

std::filesystem::path ProgramFolder() {
    return RUZD_TEST_BIN_DIR;
}

pid_t StartProgram(const ProgramStart& start) {
    std::vector<std::string> variables = start.environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        const std::string_view name = text.substr(0, text.find('=') + 1);
        bool replaced = false;
        for (const std::string& variable : start.environment) {
            replaced = replaced || variable.starts_with(name);
        }
        if (!replaced) {
            variables.emplace_back(text);
        }
    }
    std::vector<char*> envp;
    for (std::string& variable : variables) {
        envp.push_back(variable.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> words;
    if (!start.read_only_folder.empty()) {
        words = {(ProgramFolder() / "read_only_folder_run").string(),
                 start.read_only_folder.string()};
    }
    words.insert(words.end(), start.runner.begin(), start.runner.end());
    words.push_back(start.program.string());
    words.insert(words.end(), start.arguments.begin(), start.arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (start.stdin_fd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, start.stdin_fd, STDIN_FILENO);
    }
    if (start.stdout_fd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, start.stdout_fd, STDOUT_FILENO);
    }
    if (!start.folder.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, start.folder.c_str());
    }
    if (!start.stdout_file.empty()) {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, start.stdout_file.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    if (!start.stderr_file.empty()) {
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, start.stderr_file.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    pid_t pid = -1;
    if (::posix_spawn(&pid, words[0].c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
        pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    if (pid > 0 && start.max_open_files > 0) {
        // The program has hardly begun: what it opens from now on counts against the limit.
        rlimit limit{};
        ::prlimit(pid, RLIMIT_NOFILE, nullptr, &limit);
        limit.rlim_cur = static_cast<rlim_t>(start.max_open_files);
        ::prlimit(pid, RLIMIT_NOFILE, &limit, nullptr);
    }
    return pid;
}

int WaitForExitCode(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::optional<int> ExitCodeIfEnded(pid_t pid) {
    int status = 0;
    pid_t reaped = -1;
    do {
        reaped = ::waitpid(pid, &status, WNOHANG);
    } while (reaped < 0 && errno == EINTR);
    if (reaped == 0) {
        return std::nullopt;
    }
    return reaped == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int RunProgram(const ProgramStart& start) {
    const pid_t pid = StartProgram(start);
    return pid > 0 ? WaitForExitCode(pid) : -1;
}

void SendSignal(pid_t pid, int signal) {
    if (pid > 0) {
        ::kill(pid, signal);
    }
}

void KillProgram(pid_t pid) {
    SendSignal(pid, SIGKILL);
}

ChildProgram::ChildProgram(const std::string& program, const std::vector<std::string>& arguments) {
    int to_child[2];
    int from_child[2];
    if (::pipe2(to_child, O_CLOEXEC) != 0 || ::pipe2(from_child, O_CLOEXEC) != 0) {
        return;
    }
    ProgramStart start;
    start.program = ProgramFolder() / program;
    start.arguments = arguments;
    start.stdin_fd = to_child[0];
    start.stdout_fd = from_child[1];
    pid_ = StartProgram(start);
    ::close(to_child[0]);
    ::close(from_child[1]);
    stdin_ = to_child[1];
    stdout_ = from_child[0];
}

ChildProgram::~ChildProgram() {
    CloseStdin();
    if (pid_ > 0 && !WaitFor(std::chrono::seconds(10))) {
        Kill();
        Wait();
    }
    if (stdout_ >= 0) {
        ::close(stdout_);
    }
}

std::optional<std::string> ChildProgram::ReadLine(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const size_t end = buffered_.find('\n');
        if (end != std::string::npos) {
            std::string line = buffered_.substr(0, end);
            buffered_.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        pollfd entry{stdout_, POLLIN, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return std::nullopt;
        }
        char chunk[256];
        const ssize_t got = ::read(stdout_, chunk, sizeof chunk);
        if (got <= 0) {
            return std::nullopt;
        }
        buffered_.append(chunk, static_cast<size_t>(got));
    }
}

void ChildProgram::WriteLine(const std::string& line) {
    const std::string text = line + "\n";
    (void)!::write(stdin_, text.data(), text.size());
}

void ChildProgram::CloseStdin() {
    if (stdin_ >= 0) {
        ::close(stdin_);
        stdin_ = -1;
    }
}

void ChildProgram::Kill(int signal) {
    SendSignal(pid_, signal);
}

void ChildProgram::Suspend() {
    Kill(SIGSTOP);
    int status = 0;
    while (::waitpid(pid_, &status, WUNTRACED) < 0 && errno == EINTR) {
    }
}

void ChildProgram::Resume() {
    Kill(SIGCONT);
}

int ChildProgram::Wait() {
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

bool ChildProgram::WaitFor(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_ || (done < 0 && errno != EINTR)) {
            pid_ = -1;
            return true;
        }
        ::usleep(10000);
    }
    return false;
}

namespace {

// setpriv's arguments that make its program another account of the machine: "nobody" (65534),
// in no other group.
constexpr const char* kSetpriv = "/usr/bin/setpriv";
std::vector<std::string> AnotherAccountArguments() {
    return {"--reuid=65534", "--regid=65534", "--clear-groups"};
}

}  // namespace

pid_t StartAsAnotherAccount(const std::vector<std::string>& command) {
    ProgramStart start;
    start.program = kSetpriv;
    start.arguments = AnotherAccountArguments();
    start.arguments.push_back("--");
    start.arguments.insert(start.arguments.end(), command.begin(), command.end());
    start.stdout_file = "/dev/null";
    start.stderr_file = "/dev/null";
    return StartProgram(start);
}

int RunAsAnotherAccount(const std::vector<std::string>& command) {
    const pid_t pid = StartAsAnotherAccount(command);
    return pid > 0 ? WaitForExitCode(pid) : -1;
}

AnotherAccountLock::AnotherAccountLock(const char* mode, const std::filesystem::path& file)
    : file_(file),
      pid_(StartAsAnotherAccount(
          {"/usr/bin/flock", "-o", mode, file.string(), "/usr/bin/sleep", "130"})) {}

AnotherAccountLock::~AnotherAccountLock() {
    if (pid_ > 0 && !ended_) {
        KillProgram(pid_);
        WaitForExitCode(pid_);
    }
}

std::optional<int> AnotherAccountLock::Ended() {
    std::optional<int> exit_code;
    ended_ = Eventually([&] {
        exit_code = ExitCodeIfEnded(pid_);
        return exit_code.has_value();
    });
    return exit_code;
}

bool AnotherAccountLock::Holds() {
    return Eventually([&] {
        ProgramStart probe;
        probe.program = "/usr/bin/flock";
        probe.arguments = {"-n", "-x", file_.string(), "/usr/bin/true"};
        return RunProgram(probe) != 0;
    });
}

std::unique_ptr<ChildProgram> StartAsNobody(const std::string& name,
                                            const std::vector<std::string>& arguments,
                                            const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    const fs::path copy = folder / name;
    // A copy that an earlier child still runs cannot be written again.
    fs::copy_file(ProgramFolder() / name, copy, fs::copy_options::skip_existing);
    fs::permissions(folder, fs::perms::others_exec | fs::perms::group_exec, fs::perm_options::add);
    std::vector<std::string> setpriv = AnotherAccountArguments();
    setpriv.push_back(copy.string());
    setpriv.insert(setpriv.end(), arguments.begin(), arguments.end());
    return std::make_unique<ChildProgram>(kSetpriv, setpriv);
}

}  // namespace ruzd::testing
