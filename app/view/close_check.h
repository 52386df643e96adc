#pragma once

// The decision what a close request of the main window does. A window attached to a service
// ends at once. A window that drives the hardware asks once; a confirmed request asks the
// manager to stop (which may wait for the central server) and starts a clock: a request 30 to
// 60 seconds later forces the stop, one later than that asks again and restarts the clock.

#include <cstdint>
#include <functional>

namespace ruzd::app {

struct CloseSteps {
    bool quitAtOnce = false;   // end the window's loop, nothing else
    bool markClosing = false;  // the frame shows "Closing", clock jumps are no longer told
    bool stopRequest = false;  // ask the manager to stop
    bool forceStop = false;    // stop the manager now, whatever it waits for

    bool operator==(const CloseSteps&) const = default;
};

class CloseCheck {
public:
    explicit CloseCheck(bool attachedWindow) : attached_window_(attachedWindow) {}

    // `now` in seconds since 1970 by the system clock; `stopping` when the manager has already
    // told the window to stop; `confirm` asks the user and is called only when needed.
    CloseSteps Run(int64_t now, bool stopping, const std::function<bool()>& confirm);

    // 0 until the user confirmed a close request.
    int64_t RequestTime() const { return request_time_; }

private:
    const bool attached_window_;
    int64_t request_time_ = 0;
};

}  // namespace ruzd::app
