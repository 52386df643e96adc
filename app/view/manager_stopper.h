#pragma once

// Stops the node when the window is told to: the manager's own stop, a forced stop from the
// close check, or both at once. The stop runs once, on a short-lived thread of its own, however
// many requests come and from whatever threads; the requests after the first only find it under
// way. The thread is joined when the stopper goes (never from itself).

#include <atomic>
#include <functional>

#include "platform/thread.h"

namespace ruzd::app {

class ManagerStopper {
public:
    // `stop` takes the manager pointers (under their locks), stops and releases the manager and
    // ends the window.
    explicit ManagerStopper(std::function<void()> stop);
    ~ManagerStopper();
    ManagerStopper(const ManagerStopper&) = delete;
    ManagerStopper& operator=(const ManagerStopper&) = delete;

    // True when this request started the stop.
    bool Request();
    bool Requested() const { return requested_.load(); }
    // Waits for a started stop to end.
    void Wait();

private:
    const std::function<void()> stop_;
    std::atomic<bool> requested_{false};
    platform::Thread thread_{"PelwixStop"};
};

}  // namespace ruzd::app
