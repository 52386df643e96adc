#include "watchdog/timeout_steps.h"

#include <algorithm>
#include <chrono>

#include "foundation/program_runner.h"
#include "platform/clock.h"
#include "platform/computer_name.h"
#include "platform/event.h"
#include "platform/message_box.h"
#include "platform/process_identity.h"
#include "platform/shell_command.h"
#include "platform/stop_signals.h"
#include "platform/system_reboot.h"
#include "platform/text.h"
#include "platform/thread.h"
#include "platform/win_error.h"
#include "platform/window_endpoint.h"
#include "platform/window_message.h"
#include "watchdog/callout_record.h"
#include "watchdog/client_socket.h"
#include "watchdog/frame_loop.h"
#include "watchdog/main_frame.h"
#include "watchdog/screen_shot.h"
#include "watchdog/server_socket.h"
#include "watchdog/tormbel_log.h"

namespace ruzd::watchdog {
namespace {

constexpr uint32_t kCentralShutdownWaitMs = 5000;
constexpr size_t kMaxTitleCharacters = 119;
constexpr const char* kRebootMessage = "System reboot by Tormbel";

// The process a window belongs to: what the watchdog shows as the window's handle.
int WindowNumber(const platform::WindowHandle& window) {
    const auto parts = platform::window_endpoint::ParseEndpointName(window.endpoint());
    return parts ? static_cast<int>(parts->pid) : 0;
}

// A runner that could not start the command or reach its output: the shell runs it instead.
bool NeedsLegacyStart(int result) {
    return result == foundation::kRunStartFailed || result == foundation::kRunReadEndFailed ||
           result == foundation::kRunStandardErrorFailed || result == foundation::kRunPipeFailed;
}

}  // namespace

std::string EventMonitorAlarm(const std::string& computer_name) {
    return "\x02"
           "5;3;100;" +
           computer_name + ": The Orvanthella is not responding anymore!;\x03";
}

TimeoutSteps::TimeoutSteps(const WatchdogOptions& options, WatchdogFlags& flags,
                           FrameWindow& window, platform::MessageDispatch dispatch,
                           uint32_t command_timeout_ms)
    : options_(options),
      flags_(flags),
      window_(window),
      dispatch_(std::move(dispatch)),
      command_timeout_ms_(command_timeout_ms) {}

void TimeoutSteps::AfterLocalTimeout() {
    if (frame_ != nullptr && frame_->screen_shot_armed() && options_.screen_shot) {
        frame_->DisarmScreenShot();
        TakeScreenShot(ScreenShotFileName(platform::NowSeconds()));
    }
    if (!options_.address.empty() && options_.event_monitor) {
        SendAlarms();
    }
    if (options_.event_monitor) {
        AddCalloutRecord(options_);
    }
    if (!options_.command.empty()) {
        ExecuteCommand();
    }
    if (options_.reboot) {
        Reboot();
    }
}

void TimeoutSteps::SendAlarms() {
    window_.SetTitle("Tormbel : ALARM");
    if (frame_ == nullptr) {
        return;
    }
    if (CServerSocket* server = frame_->server_socket()) {
        // Each peer learns the address it reached us on.
        for (const auto& peer : server->accepted()) {
            peer->SendString(platform::Utf8ToCp1252("ALARM:" + peer->LocalAddress()));
        }
    }
    const std::string alarm = EventMonitorAlarm(platform::ComputerName().value_or(std::string()));
    if (CClientSocket* client = frame_->client_socket()) {
        client->SendString(platform::Utf8ToCp1252(alarm));
    }
}

void TimeoutSteps::ExecuteCommand() {
    const std::string& command = options_.command;
    WriteLogFormat("ExecuteCommand: Executing '%s', timeout=%us", command.c_str(),
                   kCommandTimeoutSeconds);
    flags_.busy.store(true);

    // The command runs on a worker while this thread goes on handling its messages (the
    // heartbeat, the tick: the countdown goes on); a request to close waits until the command
    // has ended. So does the shell that stands in for a runner that could not start it.
    int result = 0;
    uint32_t last_error = 0;
    int legacy_result = 0;
    std::string output;
    platform::Event finished(true);
    platform::Thread worker("ExecuteCommand");
    worker.Start([&] {
        result = foundation::ProgramRunner::Run(command, "", output, command_timeout_ms_);
        last_error = platform::GetLastError();
        if (NeedsLegacyStart(result)) {
            legacy_result = platform::RunThroughShell(command);
        }
        finished.Set();
    });
    bool close_requested = false;
    WaitServingMessages(finished, [&](platform::Message& message) {
        if (message.id == platform::kWmClose) {
            if (!close_requested) {
                WriteLog("ExecuteCommand: Stop requested, waiting for the command to end");
            }
            close_requested = true;
            platform::SetStopStage("the time-out command (-C) to end");
        } else if (dispatch_) {
            dispatch_(message);
        }
    });
    worker.Join();

    switch (result) {
        case foundation::kRunStartFailed:
            WriteLogFormat("ExecuteCommand: ERROR Could not start process, error=%u", last_error);
            break;
        case foundation::kRunReadEndFailed:
        case foundation::kRunStandardErrorFailed:
        case foundation::kRunPipeFailed:
            WriteLogFormat("ExecuteCommand: ERROR Could not open input/output streams, error=%u",
                           last_error);
            break;
        default:
            if (result == foundation::kRunNoExitCode) {
                WriteLog("ExecuteCommand: ERROR Could not determine exit code");
            } else if (result == foundation::kRunTimedOut) {
                WriteLogFormat("ExecuteCommand: ERROR Timeout waiting for process, timeout=%ds",
                               static_cast<int>(kCommandTimeoutSeconds));
            } else if (result == -1) {
                WriteLog("ExecuteCommand: ERROR Unknown error");
            }
            std::replace(output.begin(), output.end(), '\r', ' ');
            WriteLogFormat("ExecuteCommand: Command finished with ExitCode=%d\nOutput:\n%s", result,
                           output.c_str());
            break;
    }
    if (NeedsLegacyStart(result)) {
        WriteLog(
            "ExecuteCommand: Fallback to legacy way of starting process.  No results will be "
            "reported.");
        WriteLogFormat("ExecuteCommand: Legacy execute failed with DosError=%d", legacy_result);
    }
    flags_.busy.store(false);
    if (close_requested) {
        window_.PostToSelf(platform::kWmClose);
    }
}

void TimeoutSteps::Reboot() {
    window_.SetTitle("Tormbel : REBOOTING");
    const platform::WindowHandle central = platform::FindWindow("", kCentralWindowTitle);
    if (central) {
        WriteLogFormat("Reboot: Asking Orvanthella to force shutdown (and wait 5 seconds), hWnd=%d",
                       WindowNumber(central));
        platform::PostMessage(central, WM_CENTRAL_FORCE_SHUTDOWN);
        window_.SleepMs(kCentralShutdownWaitMs);
    } else {
        WriteLog("Reboot: Not asking Orvanthella to force shutdown (Orvanthella window not found)");
    }
    flags_.busy.store(true);
    WriteLogFormat("Reboot: Initiating system shutdown, Delay=%us", kRebootDelaySeconds);
    const uint32_t error = platform::InitiateSystemReboot(kRebootDelaySeconds, kRebootMessage);
    if (error == 0) {
        WriteLog("Reboot: InitiateSystemShutdownEx succeeded.  System will now reboot.");
    } else {
        WriteLogFormat("Reboot: InitiateSystemShutdownEx failed, Error=%u", error);
        platform::ShowMessageBox(platform::Format("Error rebooting system, Error=%u", error),
                                 "Tormbel", platform::kMbOk);
    }
}

void TimeoutSteps::AfterRemoteTimeout() {
    AddCalloutRecord(options_);
    // Bounded and off this thread as the local time-out's: a command that never ends must not
    // stop the countdown.
    if (!options_.command.empty()) {
        ExecuteCommand();
    }
}

void TimeoutSteps::CloseCentralProgram() {
    const int own_process = static_cast<int>(platform::CurrentProcessId());
    for (const platform::WindowHandle& window : platform::EnumWindows()) {
        if (WindowNumber(window) == own_process) {
            continue;
        }
        std::string title;
        if (!platform::GetWindowText(window, title)) {
            continue;
        }
        if (title.substr(0, kMaxTitleCharacters).find(kCentralWindowTitle) != std::string::npos) {
            platform::PostMessage(window, platform::kWmClose);
            return;
        }
    }
}

}  // namespace ruzd::watchdog
