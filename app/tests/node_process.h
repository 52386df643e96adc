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

#include "net/callback_output_stream.h"
#include "net/frame_cutter.h"
#include "net/input_stream_socket.h"
#include "platform/child_process.h"

namespace ruzd::app::testing {

using Clock = std::chrono::steady_clock;
inline constexpr auto kPatience = std::chrono::seconds(60);

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A free port on the loopback address, as the system hands one out.
inline int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
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

// A connection to the node's command port that sends commands and reads what comes back.
class CentralPeer {
public:
    // Connects, retrying while the node is starting; IsConnected tells whether it worked.
    CentralPeer(int port, const NodeProcess& node) {
        const auto deadline = Clock::now() + kPatience;
        while (Clock::now() < deadline && !node.HasEnded()) {
            fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_port = htons(static_cast<uint16_t>(port));
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
                return;
            }
            ::close(fd_);
            fd_ = -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~CentralPeer() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }

    bool IsConnected() const { return fd_ >= 0; }

    // A command: its code, its id and its integer parameters.
    void Send(int32_t code, int32_t id, std::vector<int32_t> values = {}) {
        writer_.BeginMessage(code).WriteInt(id);
        for (int32_t value : values) {
            writer_.WriteInt(value);
        }
        writer_.Flush();
    }

    // The next message's integers (its code first); none when nothing came in time or the
    // connection closed.
    std::optional<std::vector<int32_t>> Receive(std::chrono::milliseconds patience = kPatience) {
        const auto deadline = Clock::now() + patience;
        while (messages_.empty()) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                return std::nullopt;
            }
            pollfd entry{fd_, POLLIN, 0};
            if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0) {
                continue;
            }
            uint8_t buffer[4096];
            const ssize_t count = ::recv(fd_, buffer, sizeof buffer, 0);
            if (count <= 0) {
                return std::nullopt;
            }
            cutter_.Append(buffer, static_cast<size_t>(count),
                           [this](const uint8_t* payload, int length) {
                               net::CInputStreamSocket reader(payload, length);
                               std::vector<int32_t> values;
                               while (reader.HasMoreData()) {
                                   int32_t value = 0;
                                   reader.ReadInt(value);
                                   if (!reader.IsOk()) {
                                       break;
                                   }
                                   values.push_back(value);
                               }
                               messages_.push_back(values);
                           });
        }
        std::vector<int32_t> first = messages_.front();
        messages_.erase(messages_.begin());
        return first;
    }

    // Whether the node closed the connection (within `patience`).
    bool ClosedByNode(std::chrono::milliseconds patience) {
        pollfd entry{fd_, POLLIN, 0};
        if (::poll(&entry, 1, static_cast<int>(patience.count())) <= 0) {
            return false;
        }
        uint8_t byte = 0;
        return ::recv(fd_, &byte, 1, MSG_PEEK) == 0;
    }

private:
    int fd_ = -1;
    net::CCallbackOutputStream writer_{
        [this](const uint8_t* frame, int length, const std::string&, unsigned) {
            ::send(fd_, frame, static_cast<size_t>(length), MSG_NOSIGNAL);
        }};
    net::CFrameCutter cutter_{net::CFrameCutter::Side::kClient};
    std::vector<std::vector<int32_t>> messages_;
};

}  // namespace ruzd::app::testing
