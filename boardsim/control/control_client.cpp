#include "boardsim/control/control_client.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace ruzd::boardsim {

ControlClient::ControlClient(std::string path) : path_(std::move(path)) {}

ControlClient::~ControlClient() {
    Disconnect();
}

void ControlClient::Disconnect() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    pending_.clear();
}

bool ControlClient::Connect() {
    Disconnect();
    error_.clear();
    sockaddr_un address{};
    if (path_.size() >= sizeof(address.sun_path)) {
        error_ = "the path is too long for a socket";
        return false;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) {
        error_ = std::strerror(errno);
        return false;
    }
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        error_ = std::strerror(errno);
        Disconnect();
        return false;
    }
    return true;
}

std::string ControlClient::Send(const std::string& command) {
    // A connection to a machine that has gone since is dead; one fresh attempt follows.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (fd_ < 0 && !Connect())
            return std::string();
        std::string answer;
        if (Exchange(command, &answer))
            return answer;
    }
    return std::string();
}

bool ControlClient::Exchange(const std::string& command, std::string* answer) {
    const std::string line = command + "\n";
    size_t sent = 0;
    while (sent < line.size()) {
        const ssize_t n = ::send(fd_, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            Disconnect();
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    for (;;) {
        const size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            *answer = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return true;
        }
        char buffer[4096];
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n <= 0) {
            Disconnect();
            return false;
        }
        pending_.append(buffer, static_cast<size_t>(n));
    }
}

}  // namespace ruzd::boardsim
