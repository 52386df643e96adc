#include "boardsim/core/control_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <utility>
#include <vector>

namespace ruzd::boardsim {
namespace {

void WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

}  // namespace

ControlServer::ControlServer(std::string path, Handler handler)
    : path_(std::move(path)), handler_(std::move(handler)) {
    sockaddr_un address{};
    if (path_.empty() || path_.size() >= sizeof(address.sun_path))
        return;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
    listen_fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listen_fd_ < 0)
        return;
    ::unlink(path_.c_str());
    if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listen_fd_, 8) != 0 || ::pipe2(wake_, O_CLOEXEC) != 0) {
        ::close(listen_fd_);
        listen_fd_ = -1;
        return;
    }
    thread_ = std::thread([this] { Run(); });
}

ControlServer::~ControlServer() {
    if (thread_.joinable()) {
        const char stop = 0;
        [[maybe_unused]] const ssize_t n = ::write(wake_[1], &stop, 1);
        thread_.join();
    }
    if (listen_fd_ >= 0) {
        ::close(listen_fd_);
        ::unlink(path_.c_str());
    }
    for (int fd : wake_) {
        if (fd >= 0)
            ::close(fd);
    }
}

void ControlServer::Run() {
    std::map<int, std::string> clients;  // descriptor -> bytes of an unfinished line
    for (;;) {
        std::vector<pollfd> fds{{wake_[0], POLLIN, 0}, {listen_fd_, POLLIN, 0}};
        for (const auto& [fd, pending] : clients)
            fds.push_back({fd, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0)
            continue;
        if (fds[0].revents != 0)
            break;
        if (fds[1].revents & POLLIN) {
            const int client = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client >= 0)
                clients[client];
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            if (fds[i].revents == 0)
                continue;
            const int fd = fds[i].fd;
            char buffer[4096];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                ::close(fd);
                clients.erase(fd);
                continue;
            }
            std::string& pending = clients[fd];
            pending.append(buffer, static_cast<size_t>(n));
            for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
                std::string line = pending.substr(0, end);
                pending.erase(0, end + 1);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                WriteAll(fd, handler_(line) + "\n");
            }
        }
    }
    for (const auto& [fd, pending] : clients)
        ::close(fd);
}

}  // namespace ruzd::boardsim
