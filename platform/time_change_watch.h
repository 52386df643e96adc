#pragma once

// Watches for what Windows announces to its top-level windows as WM_TIMECHANGE: the system
// clock set to another time (a step; the gradual corrections of a time daemon are no change),
// and the machine's zone changed, that is the entry "localtime" or "timezone" of the zone folder
// created, replaced, removed, rewritten or given other attributes. A thread of its own waits
// for both and calls the owner's function once for each change it sees, several changes in a
// row giving several calls.

#include <filesystem>
#include <functional>
#include <memory>

#include "platform/thread.h"

namespace ruzd::platform {

// The folder whose zone entries are watched: RUZD_ZONE_WATCH_DIR when set, else /etc.
std::filesystem::path ZoneWatchFolder();

class TimeChangeWatch {
public:
    explicit TimeChangeWatch(std::function<void()> on_change);
    // Stops watching and waits for the watching thread; never call it from `on_change`.
    ~TimeChangeWatch();
    TimeChangeWatch(const TimeChangeWatch&) = delete;
    TimeChangeWatch& operator=(const TimeChangeWatch&) = delete;

    // Starts watching the clock and ZoneWatchFolder(); false when neither can be watched or the
    // thread cannot start. What can be watched is watched even when the other cannot.
    bool Start();
    bool watches_clock() const { return clock_fd_ >= 0; }
    bool watches_zone_folder() const { return watch_descriptor_ >= 0; }

private:
    bool ArmClockTimer();
    void Run();
    // Whether the clock was set since the timer was armed (re-arming it when so).
    bool TakeClockStep();
    // Whether a zone entry of the folder changed among the events waiting.
    bool TakeZoneEvents();

    const std::function<void()> on_change_;
    int clock_fd_ = -1;
    int inotify_fd_ = -1;
    int watch_descriptor_ = -1;
    int wake_fd_ = -1;
    Thread thread_{"TimeChangeWatch"};
};

}  // namespace ruzd::platform
