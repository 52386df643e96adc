#pragma once

// The requests to stop that the system sends a process (SIGINT from the terminal, SIGTERM from
// a service manager or kill), taken on a watcher thread of their own instead of a signal
// handler, so that stopping runs ordinary code.

#include <atomic>
#include <functional>
#include <thread>

namespace ruzd::platform {

enum class StopSignal { kInterrupt, kTerminate };

// The system's number of a stop signal, for tests that send one to a child.
int SignalNumber(StopSignal signal);

class StopSignals {
public:
    // Blocks the stop signals for the calling thread and every thread it starts from now on:
    // make the object before any other thread starts.
    StopSignals();
    // Ends the watcher.
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Calls `on_stop` on the watcher thread for the first stop signal that arrives; no more
    // are taken after it.
    void Watch(std::function<void()> on_stop);

private:
    std::atomic<bool> done_{false};
    std::thread watcher_;
};

}  // namespace ruzd::platform
