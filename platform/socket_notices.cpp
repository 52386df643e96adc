#include "platform/socket_notices.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/thread.h"
#include "platform/wsa_error.h"

namespace ruzd::platform {
namespace {

struct Registration {
    uint32_t owner_thread = 0;
    uint32_t message = 0;
    uint32_t armed = 0;
    uint32_t serial = 0;
    // Until the connect notice has gone, writability means the connection's outcome.
    bool connecting = false;
    // Events armed again at `rearm_at`.
    uint32_t delayed = 0;
    std::chrono::steady_clock::time_point rearm_at{};
};

// The pending error of a socket whose connection attempt has ended.
int PendingError(int socket) {
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
        error = errno;
    }
    return error == 0 ? 0 : WsaErrorFromErrno(error);
}

class Watcher {
public:
    Watcher() : wake_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        if (wake_fd_ >= 0) {
            thread_ = std::thread([this] { Run(); });
        }
    }

    // The watcher serves the whole process and is never destroyed.
    ~Watcher() = delete;

    bool started() const { return wake_fd_ >= 0; }

    uint32_t Register(int socket, uint32_t message, uint32_t events) {
        std::lock_guard lock(lock_);
        Registration& entry = sockets_[socket];
        entry.owner_thread = CurrentThreadId();
        entry.message = message;
        entry.armed = events;
        entry.serial = ++last_serial_ == 0 ? ++last_serial_ : last_serial_;
        entry.connecting = (events & kFdConnect) != 0;
        entry.delayed = 0;
        Wake();
        return entry.serial;
    }

    void Arm(int socket, uint32_t events) {
        std::lock_guard lock(lock_);
        const auto it = sockets_.find(socket);
        if (it != sockets_.end()) {
            it->second.armed |= events;
            Wake();
        }
    }

    void ArmAfter(int socket, uint32_t events, uint32_t delay_ms) {
        std::lock_guard lock(lock_);
        const auto it = sockets_.find(socket);
        if (it != sockets_.end()) {
            it->second.delayed |= events;
            it->second.rearm_at =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(delay_ms);
            Wake();
        }
    }

    void Remove(int socket) {
        std::lock_guard lock(lock_);
        sockets_.erase(socket);
        Wake();
    }

private:
    void Wake() {
        const uint64_t one = 1;
        (void)!::write(wake_fd_, &one, sizeof one);
    }

    static short PollEventsOf(const Registration& entry) {
        short events = 0;
        if ((entry.armed & (kFdRead | kFdAccept | kFdClose)) != 0) {
            events |= POLLIN | POLLRDHUP;
        }
        if ((entry.armed & (entry.connecting ? kFdConnect : kFdWrite)) != 0) {
            events |= POLLOUT;
        }
        return events;
    }

    // Arms the delayed events that are due; the milliseconds until the next one is, or -1 for
    // none. Called under the lock.
    int ArmDueEvents() {
        const auto now = std::chrono::steady_clock::now();
        int next_ms = -1;
        for (auto& [socket, entry] : sockets_) {
            if (entry.delayed == 0) {
                continue;
            }
            if (entry.rearm_at <= now) {
                entry.armed |= entry.delayed;
                entry.delayed = 0;
                continue;
            }
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(entry.rearm_at - now);
            const int left_ms = static_cast<int>(left.count());
            next_ms = next_ms < 0 ? left_ms : std::min(next_ms, left_ms);
        }
        return next_ms;
    }

    void Run() {
        SetCurrentThreadSystemName("SocketNotices");
        std::vector<pollfd> entries;
        for (;;) {
            entries.assign(1, pollfd{wake_fd_, POLLIN, 0});
            int timeout_ms = -1;
            {
                std::lock_guard lock(lock_);
                timeout_ms = ArmDueEvents();
                for (const auto& [socket, entry] : sockets_) {
                    const short events = PollEventsOf(entry);
                    if (events != 0) {
                        entries.push_back(pollfd{socket, events, 0});
                    }
                }
            }
            if (::poll(entries.data(), entries.size(), timeout_ms) < 0) {
                continue;
            }
            if (entries[0].revents != 0) {
                uint64_t count;
                (void)!::read(wake_fd_, &count, sizeof count);
            }
            std::lock_guard lock(lock_);
            for (size_t i = 1; i < entries.size(); ++i) {
                if (entries[i].revents != 0) {
                    Notice(entries[i].fd, entries[i].revents);
                }
            }
        }
    }

    void Post(int socket, Registration& entry, uint32_t event, int error) {
        entry.armed &= ~event;
        PostThreadMessage(entry.owner_thread, entry.message, static_cast<uintptr_t>(socket),
                          EncodeSocketNotice(SocketNotice{event, error, entry.serial}));
    }

    // Turns one readiness into the notices it means; called under the lock.
    void Notice(int socket, short revents) {
        const auto it = sockets_.find(socket);
        if (it == sockets_.end()) {
            return;
        }
        Registration& entry = it->second;
        if (entry.connecting) {
            if ((revents & (POLLOUT | POLLERR | POLLHUP)) != 0 && (entry.armed & kFdConnect) != 0) {
                entry.connecting = false;
                const int error = PendingError(socket);
                Post(socket, entry, kFdConnect, error);
                if (error != 0) {
                    entry.armed = 0;
                    return;
                }
            }
            // A connection on its way has nothing to read yet.
            return;
        }
        if ((revents & POLLOUT) != 0 && (entry.armed & kFdWrite) != 0) {
            Post(socket, entry, kFdWrite, 0);
        }
        if ((revents & (POLLIN | POLLRDHUP | POLLHUP | POLLERR)) == 0) {
            return;
        }
        if ((entry.armed & kFdAccept) != 0) {
            Post(socket, entry, kFdAccept, 0);
            return;
        }
        char byte;
        const ssize_t waiting = ::recv(socket, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
        if (waiting > 0) {
            if ((entry.armed & kFdRead) != 0) {
                Post(socket, entry, kFdRead, 0);
            }
            return;
        }
        if (waiting < 0 && (errno == EAGAIN || errno == EINTR)) {
            return;
        }
        // The peer has closed (or the connection broke): the close is told once, and nothing
        // else is asked of the socket after it.
        if ((entry.armed & kFdClose) != 0) {
            Post(socket, entry, kFdClose, waiting < 0 ? WsaErrorFromErrno(errno) : 0);
        }
        entry.armed &= ~(kFdRead | kFdClose);
    }

    std::mutex lock_;
    std::map<int, Registration> sockets_;
    uint32_t last_serial_ = 0;
    int wake_fd_;
    std::thread thread_;
};

Watcher& TheWatcher() {
    static Watcher* watcher = [] {
        auto* made = new Watcher();
        return made;
    }();
    return *watcher;
}

}  // namespace

SocketNotice DecodeSocketNotice(intptr_t lparam) {
    const auto bits = static_cast<uint64_t>(lparam);
    return SocketNotice{static_cast<uint32_t>(bits & 0xFFFF),
                        static_cast<int>((bits >> 16) & 0xFFFF), static_cast<uint32_t>(bits >> 32)};
}

intptr_t EncodeSocketNotice(const SocketNotice& notice) {
    const uint64_t bits = (static_cast<uint64_t>(notice.serial) << 32) |
                          ((static_cast<uint64_t>(notice.error) & 0xFFFF) << 16) |
                          (notice.event & 0xFFFF);
    return static_cast<intptr_t>(bits);
}

uint32_t RegisterSocketNotices(int socket, uint32_t message, uint32_t events) {
    Watcher& watcher = TheWatcher();
    if (!watcher.started()) {
        return 0;
    }
    EnsureMessageQueue();
    return watcher.Register(socket, message, events);
}

void ArmSocketNotices(int socket, uint32_t events) {
    TheWatcher().Arm(socket, events);
}

void ArmSocketNoticesAfter(int socket, uint32_t events, uint32_t delay_ms) {
    TheWatcher().ArmAfter(socket, events, delay_ms);
}

void RemoveSocketNotices(int socket) {
    TheWatcher().Remove(socket);
}

}  // namespace ruzd::platform
