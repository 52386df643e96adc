#pragma once

// The requests to stop that the system sends a process (SIGINT from the terminal, SIGTERM from
// a service manager or kill, and for a console program also SIGQUIT and SIGHUP), taken on a
// watcher thread of their own instead of a signal handler, so that stopping runs ordinary code.

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <thread>

namespace ruzd::platform {

enum class StopSignal { kInterrupt, kTerminate, kQuit, kHangUp };

// The system's number of a stop signal, for tests that send one to a child.
int SignalNumber(StopSignal signal);

class StopSignals {
public:
    // Blocks the given stop signals (SIGINT and SIGTERM unless told otherwise) for the calling
    // thread and every thread it starts from now on: make the object before any other thread
    // starts.
    explicit StopSignals(std::initializer_list<StopSignal> signals = {StopSignal::kInterrupt,
                                                                      StopSignal::kTerminate});
    // Ends the watcher.
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Calls `on_stop` on the watcher thread for the first stop signal that arrives; no more
    // are taken after it.
    void Watch(std::function<void()> on_stop);
    // Calls `on_signal` on the watcher thread for every stop signal that arrives, until the
    // object goes.
    void WatchEach(std::function<void(StopSignal)> on_signal);

private:
    void StartWatcher(std::function<bool(StopSignal)> on_signal);

    uint32_t mask_ = 0;  // one bit a StopSignal
    std::atomic<bool> done_{false};
    std::thread watcher_;
};

}  // namespace ruzd::platform
