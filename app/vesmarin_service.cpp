#include "app/vesmarin_service.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <memory>

#include "app/service/service_control_manager_handle.h"
#include "app/service/service_handle.h"
#include "app/service/service_messages.h"
#include "app/vesmarin_app.h"
#include "foundation/app_hooks.h"
#include "foundation/operator_alert.h"
#include "platform/append_only_file.h"
#include "platform/clock.h"
#include "platform/event_log.h"
#include "platform/local_time.h"
#include "platform/process_identity.h"
#include "platform/regular_file.h"
#include "platform/running_program.h"
#include "platform/text.h"
#include "platform/user_locale.h"
#include "platform/win_error.h"
#include "platform/win_path.h"

namespace ruzd::app {
namespace {

// The rights to change the service's configuration and to start it, with the standard ones.
constexpr uint32_t kConfigureAccess = platform::kDelete | platform::kReadControl |
                                      platform::kWriteDac | platform::kWriteOwner |
                                      platform::kServiceChangeConfig | platform::kServiceStart;

constexpr uint32_t kStartWaitHintMs = 1000;
constexpr uint32_t kStopWaitHintMs = 1100;

// The local date and time as the user's locale writes them.
std::string LocalDateAndTime() {
    const int64_t seconds = std::chrono::duration_cast<std::chrono::seconds>(
                                platform::CurrentClock().Now().time_since_epoch())
                                .count();
    const std::optional<platform::LocalTime> local = platform::ToLocalTime(seconds);
    if (!local) {
        return {};
    }
    return platform::FormatUserTime("%x %X", local->year, local->month, local->day, local->hour,
                                    local->minute, local->second);
}

}  // namespace

CVesmarinService::CVesmarinService()
    : CNTService(kNodeServiceName, kNodeServiceDisplayName, platform::kServiceAcceptStop, ""),
      programPath_(platform::RunningProgramPath().string()) {
    serviceType_ = platform::kServiceWin32OwnProcess;
    startType_ = platform::kServiceAutoStart;
    // The node's verbs run from a shell or a script: what fails is said on standard output.
    consoleOutput_ = true;
}

void CVesmarinService::ServiceMain(const std::vector<std::string>&) {
    ReportStatus(platform::kServiceStartPending, 1, kStartWaitHintMs, kKeepStatusValue);
    {
        // The application reads the process's own options, as it does in every other mode.
        CVesmarinApp app(foundation::kRunModeService, platform::RunningProgramArguments(), this);
        foundation::ScopedApp installed(app);
        {
            std::lock_guard<std::mutex> lock(appLock_);
            app_ = &app;
        }
        if (!app.Start()) {
            {
                std::lock_guard<std::mutex> lock(appLock_);
                app_ = nullptr;
            }
            WriteLog("[%s] Could not create main thread", "CVesmarinService::ServiceMain");
            ReportStatus(platform::kServiceStopped, kKeepStatusValue, kKeepStatusValue,
                         kKeepStatusValue);
            return;
        }
        ReportStatus(platform::kServiceRunning, kKeepStatusValue, kKeepStatusValue,
                     kKeepStatusValue);
        if (eventSource_.IsRegistered()) {
            eventSource_.Report(platform::kEventTypeInformation,
                                GetEventMessageId(kEventServiceRunning),
                                std::string_view(displayName_));
        }
        {
            std::lock_guard<std::mutex> lock(appLock_);
            if (stopRequested_) {
                app.Quit(0);
            }
        }
        const int exitCode = app.Join();
        std::lock_guard<std::mutex> lock(appLock_);
        app_ = nullptr;
        // A node that could not start (an unreadable registry, another node running) ends as a
        // plain run does, and its stopped status says it failed.
        if (exitCode == kFatalExitCode) {
            endedFatally_ = true;
            stopExitCode_ = platform::kErrorServiceSpecificError;
            stopSpecificExitCode_ = static_cast<uint32_t>(kFatalExitCode);
        }
    }
    if (eventSource_.IsRegistered()) {
        eventSource_.Report(platform::kEventTypeInformation,
                            GetEventMessageId(kEventServiceStopped),
                            std::string_view(displayName_));
    }
}

void CVesmarinService::OnStop() {
    // Stop pending goes out before the application is asked to end: were it the other way
    // round, an application quick to end would leave stop pending as the last status, and the
    // clean stop would look like a crash to the service manager.
    ReportStatus(platform::kServiceStopPending, 1, kStopWaitHintMs, kKeepStatusValue);
    std::lock_guard<std::mutex> lock(appLock_);
    stopRequested_ = true;
    if (app_ != nullptr) {
        app_->Quit(0);
    }
}

void CVesmarinService::ShowHelp() {
    std::printf("Vesmarin [-service [ -install | -uninstall | -start | -stop ] | -help | -? ]\n");
    std::fflush(stdout);
}

bool CVesmarinService::ConfigureService(const platform::FailureActions& actions) {
    CServiceControlManagerHandle manager;
    if (!manager.Open("", platform::kScManagerConnect)) {
        uint32_t error = 0;
        return FailStep(nullptr, error, kMsgStatusOpenScm, kEventOpenScmFailed);
    }
    CServiceHandle service;
    if (!manager.OpenService(serviceName_, kConfigureAccess, service)) {
        uint32_t error = 0;
        return FailStep(nullptr, error, kMsgStatusOpenService, kEventOpenServiceFailed);
    }
    return service.ChangeFailureActions(actions);
}

void CVesmarinService::ReportMessage(const std::string& text) {
    if (eventSource_.IsRegistered()) {
        eventSource_.Report(platform::kEventTypeError, std::string_view(text));
    }
}

void CVesmarinService::WriteLog(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string message = platform::FormatV(format, args);
    va_end(args);
    const std::string pid = std::to_string(platform::CurrentProcessId());
    const std::filesystem::path path = platform::MapWindowsPath(kNodeServiceLogPath);
    if (path.empty()) {
        return;
    }
    const auto line_of = [&pid](const std::string& text) {
        return platform::Utf8ToCp1252(LocalDateAndTime() + ": " + pid + ": " + text) + "\r\n";
    };
    const std::string line = line_of(message);
    std::lock_guard<std::mutex> lock(logLock_);
    platform::AppendOnlyFile file;
    if (!file.Open(path)) {
        // The log is kept only where its folder was made: without it, nothing is lost that
        // anyone asked to keep.
        if (file.open_error() != platform::kNoSuchFileError) {
            LoseLogLine(path, line, file.open_error(), false);
        }
        return;
    }
    if (logLost_.any()) {
        if (const int error = file.WriteAllExclusive(line_of(logLost_.Note("lines of this log")));
            error != 0) {
            LoseLogLine(path, line, error, true);
            return;
        }
        logLost_.Told();
    }
    if (const int error = file.WriteAllExclusive(line); error != 0) {
        LoseLogLine(path, line, error, true);
    }
}

void CVesmarinService::LoseLogLine(const std::filesystem::path& path, const std::string& line,
                                   int error, bool opened) {
    if (!logLost_.Lose(line, error, platform::CurrentClock().TickMs())) {
        return;
    }
    std::error_code unknown;
    foundation::AlertOperator(foundation::LostLinesAlert(
        std::filesystem::absolute(path, unknown).string(), error, opened));
}

}  // namespace ruzd::app
