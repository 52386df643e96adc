#pragma once

// The real node program in a test: started as a child process in a platform root and working
// folder of the test's own, with the simulated boards, and a plain TCP peer that plays the
// central server on its command port.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "node/tests/central_peer.h"
#include "platform/child_process.h"

namespace ruzd::app::testing {

using node::testing::CentralPeer;
using node::testing::Clock;
using node::testing::FreePort;
using node::testing::kPatience;

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The node program, started in `workdir` with the platform root `root`.
class NodeProcess {
public:
    NodeProcess(const std::filesystem::path& root, const std::filesystem::path& workdir,
                std::vector<std::string> arguments)
        : workdir_(workdir), stderrPath_(workdir / "stderr.txt") {
        std::filesystem::create_directories(workdir);
        const std::string program = std::string(RUZD_TEST_BIN_DIR) + "/Pelwix";
        const std::string vendor = std::string(RUZD_TEST_BIN_DIR) + "/../vendor";
        // Everything the child needs is made before the fork: only async-signal-safe calls
        // may follow it in a threaded test.
        std::vector<std::string> environment{"RUZD_ROOT=" + root.string(),
                                             "RUZD_VENDOR_DIR=" + vendor};
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string_view text(*entry);
            if (!text.starts_with("RUZD_ROOT=") && !text.starts_with("RUZD_VENDOR_DIR=")) {
                environment.emplace_back(text);
            }
        }
        std::vector<char*> envp;
        for (std::string& entry : environment) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);
        std::string programCopy = program;
        std::vector<char*> argv{programCopy.data()};
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        const std::string folder = workdir.string();
        const std::string errPath = stderrPath_.string();
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (::chdir(folder.c_str()) != 0) {
                ::_exit(120);
            }
            const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(err, 2);
            ::execve(program.c_str(), argv.data(), envp.data());
            ::_exit(121);
        }
        child_ = std::make_unique<platform::ChildProcess>(pid);
    }

    ~NodeProcess() {
        if (!child_->HasEnded()) {
            ::kill(child_->pid(), SIGKILL);
            child_->ended().Wait(10000);
        }
    }

    void Signal(int number) { ::kill(child_->pid(), number); }
    // The exit code, once the program ended within the patience of a test.
    std::optional<int> WaitForExit() {
        if (child_->ended().Wait(60000) != platform::kWaitObject0) {
            return std::nullopt;
        }
        return child_->ExitCode();
    }
    bool HasEnded() const { return child_->HasEnded(); }
    std::string Stderr() const { return ReadFile(stderrPath_); }

    // Everything the debug files in the working folder's "debug" folder hold.
    std::string DebugLog() const {
        std::string all;
        const auto folder = workdir_ / "debug";
        if (!std::filesystem::is_directory(folder)) {
            return all;
        }
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path().extension() == ".deb") {
                all += ReadFile(entry.path());
            }
        }
        return all;
    }

    // Waits until the debug files hold `text`; false when the program ended or time ran out.
    bool WaitForLog(const std::string& text) const {
        const auto deadline = Clock::now() + kPatience;
        while (Clock::now() < deadline) {
            if (DebugLog().find(text) != std::string::npos) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

private:
    std::filesystem::path workdir_;
    std::filesystem::path stderrPath_;
    std::unique_ptr<platform::ChildProcess> child_;
};

}  // namespace ruzd::app::testing
