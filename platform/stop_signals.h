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

// How long a stop may take before the process is ended without it.
inline constexpr uint32_t kStopBoundSeconds = 30;

// What the program's stop waits for now ("the time-out command to end"), in words that follow
// "waits for"; a text of static storage (a literal). Set along the stop's way, so that a stop
// cut short says where it hung.
void SetStopStage(const char* what);

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

    // Calls `on_stop` on the watcher thread for the first stop signal that arrives. The stop it
    // starts is then watched: a second stop signal (the operator's second Ctrl-C) ends the
    // process at once, and so does a stop still under way after kStopBoundSeconds (real time,
    // whatever the time scale), each with a line on stderr naming what the stop waits for
    // (SetStopStage); the exit status is then 128 and the signal's number, as a shell tells of a
    // program that the signal ended. The process groups of the commands it runs bounded
    // (platform/child_groups.h) are killed first.
    void Watch(std::function<void()> on_stop);
    // Calls `on_signal` on the watcher thread for every stop signal that arrives, until the
    // object goes.
    void WatchEach(std::function<void(StopSignal)> on_signal);

private:
    void StartWatcher(std::function<bool(StopSignal)> on_signal);
    // After the first signal: ends the process on a second one or once the bound has passed;
    // returns when the owner ends the watcher first.
    void WatchStop(StopSignal first);

    uint32_t mask_ = 0;  // one bit a StopSignal
    std::atomic<bool> done_{false};
    std::thread watcher_;
};

}  // namespace ruzd::platform
