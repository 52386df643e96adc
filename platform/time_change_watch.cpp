#include "platform/time_change_watch.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

namespace ruzd::platform {
namespace {

// The clock timer is armed this far ahead and never meant to expire: it only tells of steps.
constexpr time_t kArmAheadSeconds = 10 * 366 * 24 * 3600;
constexpr uint32_t kZoneEvents = IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_CLOSE_WRITE | IN_ATTRIB;

void CloseIfOpen(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

bool IsZoneEntry(std::string_view name) {
    return name == "localtime" || name == "timezone";
}

}  // namespace

std::filesystem::path ZoneWatchFolder() {
    const char* folder = std::getenv("RUZD_ZONE_WATCH_DIR");
    return folder != nullptr && *folder != '\0' ? std::filesystem::path(folder)
                                                : std::filesystem::path("/etc");
}

TimeChangeWatch::TimeChangeWatch(std::function<void()> on_change)
    : on_change_(std::move(on_change)) {}

TimeChangeWatch::~TimeChangeWatch() {
    if (thread_.started()) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake_fd_, &one, sizeof one);
        thread_.Join();
    }
    CloseIfOpen(clock_fd_);
    CloseIfOpen(inotify_fd_);
    CloseIfOpen(wake_fd_);
}

bool TimeChangeWatch::ArmClockTimer() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    itimerspec far{};
    far.it_value.tv_sec = now.tv_sec + kArmAheadSeconds;
    return ::timerfd_settime(clock_fd_, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &far,
                             nullptr) == 0;
}

bool TimeChangeWatch::Start() {
    wake_fd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_fd_ < 0) {
        return false;
    }
    clock_fd_ = ::timerfd_create(CLOCK_REALTIME, TFD_CLOEXEC | TFD_NONBLOCK);
    if (clock_fd_ >= 0 && !ArmClockTimer()) {
        CloseIfOpen(clock_fd_);
    }
    inotify_fd_ = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (inotify_fd_ >= 0) {
        watch_descriptor_ =
            ::inotify_add_watch(inotify_fd_, ZoneWatchFolder().c_str(), kZoneEvents | IN_ONLYDIR);
        if (watch_descriptor_ < 0) {
            CloseIfOpen(inotify_fd_);
        }
    }
    if (!watches_clock() && !watches_zone_folder()) {
        return false;
    }
    return thread_.Start([this] { Run(); });
}

void TimeChangeWatch::Run() {
    pollfd fds[3] = {{wake_fd_, POLLIN, 0}, {clock_fd_, POLLIN, 0}, {inotify_fd_, POLLIN, 0}};
    for (;;) {
        // A descriptor of -1 is left out of the poll.
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[0].revents != 0) {
            return;
        }
        const bool stepped = fds[1].revents != 0 && TakeClockStep();
        const bool zone_changed = fds[2].revents != 0 && TakeZoneEvents();
        if (stepped || zone_changed) {
            on_change_();
        }
    }
}

bool TimeChangeWatch::TakeClockStep() {
    uint64_t expirations = 0;
    const ssize_t got = ::read(clock_fd_, &expirations, sizeof expirations);
    if (got < 0 && errno == ECANCELED) {
        ArmClockTimer();
        return true;
    }
    if (got == static_cast<ssize_t>(sizeof expirations)) {
        // Ten years without a step: arm it again.
        ArmClockTimer();
    }
    return false;
}

bool TimeChangeWatch::TakeZoneEvents() {
    alignas(inotify_event) char buffer[4096];
    bool changed = false;
    for (;;) {
        const ssize_t got = ::read(inotify_fd_, buffer, sizeof buffer);
        if (got <= 0) {
            return changed;
        }
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->len > 0 && IsZoneEntry(std::string_view(event->name))) {
                changed = true;
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

}  // namespace ruzd::platform
