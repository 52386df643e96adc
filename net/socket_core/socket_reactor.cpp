#include "net/socket_core/socket_reactor.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>

#include "net/socket_core/socket_options.h"
#include "net/socket_log.h"
#include "platform/clock.h"

namespace ruzd::net {

SocketReactor::SocketReactor() : wake_fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (wake_fd_ < 0) {
        SocketLog("Socket thread cannot make its wake-up descriptor: errno %d", errno);
    }
}

SocketReactor::~SocketReactor() {
    for (auto& handler : handlers_) {
        handler->registered_.store(false);
    }
    CloseDescriptor(wake_fd_);
}

void SocketReactor::Add(std::shared_ptr<PollHandler> handler) {
    {
        std::lock_guard guard(lock_);
        if (handler->registered_.exchange(true)) {
            return;
        }
        handlers_.push_back(std::move(handler));
        ++handlers_version_;
    }
    if (!IsLoopThread()) {
        Wake();
    }
}

void SocketReactor::Remove(PollHandler* handler) {
    std::lock_guard guard(lock_);
    if (!handler->registered_.exchange(false)) {
        return;
    }
    auto found = std::find_if(handlers_.begin(), handlers_.end(),
                              [handler](const auto& held) { return held.get() == handler; });
    if (found != handlers_.end()) {
        // The loop's own copy keeps the handler alive until its round ends.
        *found = std::move(handlers_.back());
        handlers_.pop_back();
        ++handlers_version_;
    }
}

void SocketReactor::Post(std::function<void()> task) {
    {
        std::lock_guard guard(lock_);
        tasks_.push_back(std::move(task));
    }
    Wake();
}

void SocketReactor::PostAfter(uint64_t delay_ms, std::function<void()> task) {
    const uint64_t due = platform::CurrentClock().TickMs() + delay_ms;
    {
        std::lock_guard guard(lock_);
        timers_.push_back(Timer{due, std::move(task)});
    }
    Wake();
}

int SocketReactor::PollTimeoutMs() {
    std::lock_guard guard(lock_);
    if (timers_.empty()) {
        return -1;
    }
    uint64_t first = UINT64_MAX;
    for (const Timer& timer : timers_) {
        first = std::min(first, timer.due_ms);
    }
    const uint64_t now = platform::CurrentClock().TickMs();
    // A clock of the tests may stand still: the loop then looks again now and then.
    return first <= now ? 0 : static_cast<int>(std::min<uint64_t>(first - now, 1000));
}

void SocketReactor::RunDueTimers() {
    std::vector<std::function<void()>> due;
    {
        std::lock_guard guard(lock_);
        const uint64_t now = platform::CurrentClock().TickMs();
        auto waiting =
            std::stable_partition(timers_.begin(), timers_.end(),
                                  [now](const Timer& timer) { return timer.due_ms > now; });
        for (auto it = waiting; it != timers_.end(); ++it) {
            due.push_back(std::move(it->task));
        }
        timers_.erase(waiting, timers_.end());
    }
    for (auto& task : due) {
        if (quit_.load()) {
            return;
        }
        task();
    }
}

void SocketReactor::Wake() {
    const uint64_t one = 1;
    if (wake_fd_ >= 0) {
        [[maybe_unused]] ssize_t written = ::write(wake_fd_, &one, sizeof one);
    }
}

void SocketReactor::Quit() {
    quit_.store(true);
    Wake();
}

bool SocketReactor::IsLoopThread() const {
    return loop_thread_.load() == std::this_thread::get_id();
}

void SocketReactor::RunPostedTasks() {
    std::vector<std::function<void()>> tasks;
    {
        std::lock_guard guard(lock_);
        tasks.swap(tasks_);
    }
    for (auto& task : tasks) {
        if (quit_.load()) {
            return;
        }
        task();
    }
}

void SocketReactor::Run() {
    if (wake_fd_ < 0) {
        return;
    }
    loop_thread_.store(std::this_thread::get_id());
    std::vector<std::shared_ptr<PollHandler>> watched;
    std::vector<PollHandler*> polled;
    std::vector<pollfd> fds;
    uint64_t watched_version = UINT64_MAX;
    while (!quit_.load()) {
        {
            std::lock_guard guard(lock_);
            if (watched_version != handlers_version_) {
                watched = handlers_;
                watched_version = handlers_version_;
            }
        }
        fds.assign(1, pollfd{wake_fd_, POLLIN, 0});
        polled.assign(1, nullptr);
        bool turn_pending = false;
        for (const auto& handler : watched) {
            const int fd = handler->PollFd();
            if (fd < 0 || !handler->registered_.load()) {
                continue;
            }
            turn_pending = turn_pending || handler->HasPendingTurn();
            // Those served first stand at the front, where the round begins.
            const size_t at = handler->ServedFirst() ? 1 : fds.size();
            fds.insert(fds.begin() + static_cast<std::ptrdiff_t>(at),
                       pollfd{fd, handler->PollEvents(), 0});
            polled.insert(polled.begin() + static_cast<std::ptrdiff_t>(at), handler.get());
        }
        if (::poll(fds.data(), fds.size(), turn_pending ? 0 : PollTimeoutMs()) < 0) {
            if (errno == EINTR) {
                continue;
            }
            SocketLog("Socket thread cannot wait for its sockets: errno %d", errno);
            break;
        }
        if (fds[0].revents != 0) {
            uint64_t count = 0;
            [[maybe_unused]] ssize_t got = ::read(wake_fd_, &count, sizeof count);
            RunPostedTasks();
        }
        for (size_t i = 1; i < fds.size() && !quit_.load(); ++i) {
            PollHandler* handler = polled[i];
            // A handler removed during this round, or one whose descriptor changed, waits for
            // the next round with fresh readiness.
            if ((fds[i].revents != 0 || handler->HasPendingTurn()) && handler->registered_.load() &&
                handler->PollFd() == fds[i].fd) {
                handler->OnPollEvents(fds[i].revents);
            }
        }
        RunDueTimers();
    }
    loop_thread_.store(std::thread::id{});
}

}  // namespace ruzd::net
