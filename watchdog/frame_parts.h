#pragma once

// What the watchdog's frame leans on beside its options: its window, the actions of a time-out,
// the hardware watchdog card and the crash-dump watchers. The program gives the real ones; tests
// give fakes; the defaults here do nothing.

#include <atomic>
#include <cstdint>
#include <string>

namespace ruzd::watchdog {

// The frame's window as the frame uses it.
class FrameWindow {
public:
    virtual ~FrameWindow() = default;
    virtual void SetTitle(const std::string& title) = 0;
    // Posts a message with both parameters 0 to the frame's own queue.
    virtual void PostToSelf(uint32_t message) = 0;
    // (Re)starts the one-second tick; stops it.
    virtual void StartTickTimer() = 0;
    virtual void StopTickTimer() = 0;
    // The alert: flash the window, beep, and the short sleep between them (blocks the thread).
    virtual void Flash() = 0;
    virtual void Beep() = 0;
    virtual void SleepMs(uint32_t milliseconds) = 0;
    // Closes the window; the program ends.
    virtual void Close() = 0;
};

// The steps of a time-out after its log line and event.
class TimeoutActions {
public:
    virtual ~TimeoutActions() = default;
    // Screen shot, alarms, callout record, command and reboot.
    virtual void AfterLocalTimeout() {}
    // Callout record and command.
    virtual void AfterRemoteTimeout() {}
    // Closes the central program's window shortly before a local time-out.
    virtual void CloseCentralProgram() {}
};

class WatchdogCard {
public:
    virtual ~WatchdogCard() = default;
    virtual void Start() {}
    virtual void Stop() {}
    virtual void Kick() {}
};

// The debuggers that write crash dumps of the watched programs.
class DumpWatchers {
public:
    virtual ~DumpWatchers() = default;
    // Makes sure each watched program that runs has its debugger; `dialogic_release` decides
    // which programs are watched.
    virtual void WatchAll(const std::string& /*dialogic_release*/) {}
};

// The process-wide flags beside the options.
struct WatchdogFlags {
    // The card is started on the first counting tick.
    bool card_first_arm = true;
    // Set while the time-out command runs and from the start of a reboot on: ticks then only
    // count down.
    std::atomic<bool> busy{false};
};

}  // namespace ruzd::watchdog
