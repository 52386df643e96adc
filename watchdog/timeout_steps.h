#pragma once

// What the watchdog does when a countdown runs out, after the frame's log line and event: the
// screen shot, the alarms to the event monitor and the peers, the callout record, the command
// and the reboot; and, shortly before a local time-out, closing the central program's window.

#include <cstdint>
#include <string>

#include "platform/message_queue.h"
#include "watchdog/frame_parts.h"
#include "watchdog/watchdog_options.h"

namespace ruzd::watchdog {

class CMainFrame;

inline constexpr uint32_t WM_CENTRAL_FORCE_SHUTDOWN = 0x47B;
inline constexpr uint32_t kCommandTimeoutSeconds = 120;
inline constexpr uint32_t kRebootDelaySeconds = 10;
inline constexpr const char* kCentralWindowTitle = "Orvanthella";

// The event monitor's alarm: STX "5;3;100;" <computer> ": The Orvanthella is not responding
// anymore!;" ETX.
std::string EventMonitorAlarm(const std::string& computer_name);

class TimeoutSteps : public TimeoutActions {
public:
    // `dispatch` handles the program's messages while the command runs; the frame is attached
    // once it is made. `command_timeout_ms` bounds the command (tests shorten it).
    TimeoutSteps(const WatchdogOptions& options, WatchdogFlags& flags, FrameWindow& window,
                 platform::MessageDispatch dispatch,
                 uint32_t command_timeout_ms = kCommandTimeoutSeconds * 1000);
    void Attach(CMainFrame* frame) { frame_ = frame; }

    void AfterLocalTimeout() override;
    void AfterRemoteTimeout() override;
    void CloseCentralProgram() override;

    void ExecuteCommand();
    void Reboot();

private:
    void SendAlarms();

    const WatchdogOptions& options_;
    WatchdogFlags& flags_;
    FrameWindow& window_;
    platform::MessageDispatch dispatch_;
    uint32_t command_timeout_ms_;
    CMainFrame* frame_ = nullptr;
};

}  // namespace ruzd::watchdog
