#pragma once

// A helper program of the tests run as a child process, talked to in lines: its stdin is a pipe
// the test writes, its stdout one the test reads with a time limit. Closing stdin is the usual
// way to end it; the destructor closes it, kills a child that does not end by then and reaps it.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace ruzd::testing {

class ChildProgram {
public:
    // `program` is a file name in the helper programs' folder.
    ChildProgram(const std::string& program, const std::vector<std::string>& arguments) {
        int to_child[2];
        int from_child[2];
        if (::pipe2(to_child, O_CLOEXEC) != 0 || ::pipe2(from_child, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, to_child[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, from_child[1], STDOUT_FILENO);
        const std::string path = std::string(RUZD_TEST_BIN_DIR) + "/" + program;
        std::vector<std::string> words{path};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words) {
            argv.push_back(word.data());
        }
        argv.push_back(nullptr);
        if (::posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(to_child[0]);
        ::close(from_child[1]);
        stdin_ = to_child[1];
        stdout_ = from_child[0];
    }

    ~ChildProgram() {
        CloseStdin();
        if (pid_ > 0 && !WaitFor(std::chrono::seconds(10))) {
            Kill();
            Wait();
        }
        if (stdout_ >= 0) {
            ::close(stdout_);
        }
    }

    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // The next line of the child's output, or nullopt when none comes within `limit` or the
    // output ends.
    std::optional<std::string> ReadLine(
        std::chrono::milliseconds limit = std::chrono::seconds(10)) {
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

    void WriteLine(const std::string& line) {
        const std::string text = line + "\n";
        (void)!::write(stdin_, text.data(), text.size());
    }

    void CloseStdin() {
        if (stdin_ >= 0) {
            ::close(stdin_);
            stdin_ = -1;
        }
    }

    void Kill(int signal = SIGKILL) {
        if (pid_ > 0) {
            ::kill(pid_, signal);
        }
    }

    // Stops the child, as a debugger or a hung machine would, and returns once it has stopped.
    void Suspend() {
        Kill(SIGSTOP);
        int status = 0;
        while (::waitpid(pid_, &status, WUNTRACED) < 0 && errno == EINTR) {
        }
    }
    void Resume() { Kill(SIGCONT); }

    // The exit code, or 128 + the signal that ended the child.
    int Wait() {
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    bool WaitFor(std::chrono::milliseconds limit) {
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

    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
    std::string buffered_;
};

}  // namespace ruzd::testing
