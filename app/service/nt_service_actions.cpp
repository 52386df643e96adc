// The verbs of a service program's command line: install, uninstall, start, pause, continue and
// stop the installed service, run it under the dispatcher or in the foreground, show the help;
// and the wording of a failed verb for the user and for the event log.

#include <cstdio>
#include <filesystem>

#include "app/service/event_source_registry.h"
#include "app/service/nt_service.h"
#include "app/service/nt_service_command_line_info.h"
#include "app/service/service_control_manager_handle.h"
#include "app/service/service_handle.h"
#include "app/service/service_messages.h"
#include "foundation/app_hooks.h"
#include "platform/command_line.h"
#include "platform/event_log.h"
#include "platform/message_box.h"
#include "platform/running_program.h"
#include "platform/text.h"
#include "platform/win_error.h"

namespace ruzd::app {
namespace {

// The event types a service's source reports: error, warning and information.
constexpr uint32_t kEventTypesSupported = 7;

// Overwrites a secret before it is let go, so that it does not linger in freed memory.
void Wipe(std::string& secret) {
    volatile char* bytes = secret.data();
    for (size_t i = 0; i < secret.size(); ++i) {
        bytes[i] = '\0';
    }
    secret.clear();
}

struct StatusStep {
    uint32_t state;    // the state the action brings the service to
    uint32_t right;    // the right it needs besides querying the status
    uint32_t request;  // the message of a failed request
    uint32_t requestEvent;
};

StatusStep StepOf(uint32_t action) {
    switch (action) {
        case kServiceToPaused:
            return {platform::kServicePaused, platform::kServicePauseContinue, kMsgStatusPause,
                    kEventPauseFailed};
        case kServiceToContinued:
            return {platform::kServiceRunning, platform::kServicePauseContinue, kMsgStatusContinue,
                    kEventContinueFailed};
        case kServiceToStopped:
            return {platform::kServiceStopped, platform::kServiceStop, kMsgStatusStop,
                    kEventStopFailed};
        default:
            return {platform::kServiceRunning, platform::kServiceStart, kMsgStatusStart,
                    kEventStartFailed};
    }
}

bool SendRequest(const CServiceHandle& service, uint32_t action) {
    switch (action) {
        case kServiceToPaused:
            return service.Pause();
        case kServiceToContinued:
            return service.Continue();
        case kServiceToStopped:
            return service.Stop();
        default:
            return service.Start();
    }
}

// What a control verb asks of SetServiceToStatus, and the message that words its failure for
// the user.
struct ControlVerb {
    uint32_t action;
    uint32_t failure;
};

ControlVerb ControlVerbOf(uint32_t verb) {
    switch (verb) {
        case kServiceActionPause:
            return {kServiceToPaused, kMsgPauseFailed};
        case kServiceActionContinue:
            return {kServiceToContinued, kMsgContinueFailed};
        case kServiceActionStop:
            return {kServiceToStopped, kMsgStopFailed};
        default:
            return {kServiceToRunning, kMsgStartFailed};
    }
}

platform::FailureActions FailureActionsOf(const std::vector<std::string>& entries) {
    platform::FailureActions failure;
    failure.reset_period_s = 0;
    std::vector<platform::ScAction> actions;
    for (const std::string& entry : entries) {
        if (platform::EqualsIgnoreCase(entry, "restart")) {
            actions.push_back({platform::kScActionRestart, 0});
        } else if (platform::EqualsIgnoreCase(entry, "reboot")) {
            actions.push_back({platform::kScActionReboot, 0});
        } else {
            actions.push_back({platform::kScActionRunCommand, 0});
            failure.command = entry;
        }
    }
    failure.actions = std::move(actions);
    return failure;
}

}  // namespace

uint32_t CNTService::RunCommandLineAction(CNTServiceCommandLineInfo& info) {
    if (takeServiceName_ && !info.serviceName.empty()) {
        serviceName_ = info.serviceName;
    }
    if (takeDisplayName_ && !info.displayName.empty()) {
        displayName_ = info.displayName;
        // The events go out under the new name from now on.
        if (eventSource_.IsRegistered()) {
            eventSource_.Register(eventSource_.ServerName(), displayName_);
        } else {
            eventSource_.SetSourceName(displayName_);
        }
    }
    if (takeDescription_ && !info.description.empty()) {
        description_ = info.description;
    }

    uint32_t error = platform::kErrorSuccess;
    std::string errorText;
    switch (info.action) {
        case kServiceActionNone:
            if (!StartDispatcher()) {
                error = platform::GetLastError();
            }
            break;
        case kServiceActionStart:
        case kServiceActionPause:
        case kServiceActionContinue:
        case kServiceActionStop: {
            RegisterEventSource();
            const ControlVerb verb = ControlVerbOf(info.action);
            if (!SetServiceToStatus(verb.action, error, info.timeoutMs, kServiceStatePollMs)) {
                FormatActionError(errorText, verb.failure, error, false);
            }
            break;
        }
        case kServiceActionInstall:
            RegisterEventSource();
            binaryPath_ = BuildBinaryPath(platform::RunningProgramPath().string(), info);
            userName_ = info.userName;
            password_ = info.password;
            Wipe(info.userName);
            Wipe(info.password);
            if (info.autoStart) {
                startType_ = platform::kServiceAutoStart;
            }
            Install(errorText, error, info);
            break;
        case kServiceActionUninstall:
            RegisterEventSource();
            Uninstall(errorText, error, info.timeoutMs);
            break;
        case kServiceActionConsole:
            RunAsConsole();
            break;
        case kServiceActionHelp:
            ShowHelp();
            break;
        default:
            break;
    }
    if (error != platform::kErrorSuccess && !info.silent && !errorText.empty()) {
        ShowActionText(errorText);
    }
    return error;
}

std::string CNTService::BuildBinaryPath(const std::string& modulePath,
                                        const CNTServiceCommandLineInfo& info) const {
    std::string path = platform::JoinCommandLine({modulePath});
    if (takeServiceName_ && !info.serviceName.empty()) {
        path += " \"/SN:" + info.serviceName + "\"";
    }
    if (takeDisplayName_ && !info.displayName.empty()) {
        path += " \"/SDN:" + info.displayName + "\"";
    }
    if (takeDescription_ && !info.description.empty()) {
        path += " \"/SD:" + info.description + "\"";
    }
    if (appendServiceCommandLine_ && !info.serviceCommandLine.empty()) {
        path += " " + info.serviceCommandLine;
    }
    return path;
}

bool CNTService::SetServiceToStatus(uint32_t action, uint32_t& error, uint32_t timeoutMs,
                                    uint32_t pollMs) {
    const StatusStep step = StepOf(action);
    CServiceControlManagerHandle manager;
    if (!manager.Open("", platform::kScManagerConnect)) {
        return FailStep(nullptr, error, kMsgStatusOpenScm, kEventOpenScmFailed);
    }
    CServiceHandle service;
    if (!manager.OpenService(serviceName_, step.right | platform::kServiceQueryStatus, service)) {
        return FailStep(nullptr, error, kMsgStatusOpenService, kEventOpenServiceFailed);
    }
    platform::ServiceStatus status;
    if (!service.QueryStatus(status)) {
        return FailStep(nullptr, error, kMsgStatusQuery, kEventQueryStatusFailed);
    }
    if (status.current_state != step.state && !SendRequest(service, action)) {
        return FailStep(nullptr, error, step.request, step.requestEvent);
    }
    if (!service.WaitForState(timeoutMs, step.state, pollMs)) {
        return FailStep(nullptr, error, kMsgStatusWait, kEventWaitFailed);
    }
    error = platform::kErrorSuccess;
    return true;
}

bool CNTService::Install(std::string& errorText, uint32_t& error,
                         const CNTServiceCommandLineInfo& info) {
    CServiceControlManagerHandle manager;
    if (!manager.Open("", platform::kScManagerCreateService | platform::kScManagerLock)) {
        return FailStep(&errorText, error, kMsgInstallOpenScm, kEventOpenScmFailed);
    }
    // Held to the end, so that nobody starts or changes the service half installed.
    if (!manager.Lock()) {
        return FailStep(&errorText, error, kMsgInstallLockScm, 0);
    }
    CServiceHandle service;
    const bool created =
        service.Create(manager, serviceName_, displayName_, platform::kServiceChangeConfig,
                       serviceType_, startType_, errorControl_, binaryPath_, loadOrderGroup_,
                       nullptr, GetDependencies(), userName_, password_);
    const uint32_t createError = platform::GetLastError();
    Wipe(userName_);
    Wipe(password_);
    if (!created) {
        platform::SetLastError(createError);
        return FailStep(&errorText, error, kMsgInstallCreateService, 0);
    }
    if (info.delayedStart) {
        service.ChangeDelayedAutoStart(true);
    }
    if (!info.failureActions.empty()) {
        service.ChangeFailureActions(FailureActionsOf(info.failureActions));
    }
    if (eventLogging_) {
        if (eventMessageFile_.empty()) {
            eventMessageFile_ =
                std::filesystem::path(platform::RunningProgramPath()).replace_extension("DLL");
        }
        if (!InstallEventSource(eventSource_.SourceName(), eventMessageFile_,
                                kEventTypesSupported)) {
            return FailStep(&errorText, error, kMsgInstallEventSource, 0);
        }
    }
    if (!description_.empty()) {
        service.ChangeDescription(description_);
    }
    if (eventLogging_) {
        eventSource_.Report(platform::kEventTypeInformation,
                            GetEventMessageId(kEventServiceInstalled),
                            std::string_view(displayName_));
    }
    error = platform::kErrorSuccess;
    return true;
}

bool CNTService::Uninstall(std::string& errorText, uint32_t& error, uint32_t timeoutMs) {
    CServiceControlManagerHandle manager;
    if (!manager.Open("", platform::kScManagerConnect)) {
        return FailStep(&errorText, error, kMsgUninstallOpenScm, kEventOpenScmFailed);
    }
    CServiceHandle service;
    if (!manager.OpenService(
            serviceName_,
            platform::kDelete | platform::kServiceStop | platform::kServiceQueryStatus, service)) {
        return FailStep(&errorText, error, kMsgUninstallOpenService, kEventOpenServiceFailed);
    }
    platform::ServiceStatus status;
    if (service.QueryStatus(status) && status.current_state != platform::kServiceStopped) {
        if (!service.Stop()) {
            // Worded only: the wait tells whether the service stopped after all.
            FailStep(&errorText, error, kMsgUninstallStopService, 0);
        }
        if (!service.WaitForState(timeoutMs, platform::kServiceStopped, kServiceStatePollMs)) {
            return FailStep(&errorText, error, kMsgUninstallWaitForStop, 0);
        }
    }
    if (!service.Delete()) {
        return FailStep(&errorText, error, kMsgUninstallDeleteService, kEventDeleteServiceFailed);
    }
    if (eventLogging_ && !UninstallEventSource(eventSource_.SourceName())) {
        return FailStep(&errorText, error, kMsgUninstallEventSource, 0);
    }
    error = platform::kErrorSuccess;
    return true;
}

void CNTService::FormatActionError(std::string& text, uint32_t messageId, uint32_t error,
                                   bool forEventLog) {
    const std::string number = platform::Format("%u", error);
    const std::string systemText = GetErrorText(error);
    const std::string joined = FormatServiceMessage(kMsgErrorAndText, number, systemText);
    const uint32_t id = GetMessageResourceId(messageId);
    if (forEventLog) {
        switch (eventLogErrorFormat_) {
            case 0:
                text = number;
                break;
            case 2:
                text = systemText;
                break;
            default:
                text = joined;
                break;
        }
        return;
    }
    switch (displayErrorFormat_) {
        case 0:
            text = number;
            break;
        case 1:
            text = joined;
            break;
        case 2:
            text = systemText;
            break;
        case 3:
            text = FormatServiceMessage(id, number);
            break;
        case 5:
            text = FormatServiceMessage(id, systemText);
            break;
        default:
            text = FormatServiceMessage(id, joined);
            break;
    }
}

bool CNTService::FailStep(std::string* errorText, uint32_t& error, uint32_t messageId,
                          uint32_t eventId) {
    error = platform::GetLastError();
    if (errorText != nullptr) {
        FormatActionError(*errorText, messageId, error, false);
    }
    if (eventId != 0) {
        ReportFailure(eventId, messageId, error);
    }
    platform::SetLastError(error);
    return false;
}

void CNTService::ReportFailure(uint32_t eventId, uint32_t messageId, uint32_t error) {
    if (!eventLogging_) {
        return;
    }
    std::string text;
    FormatActionError(text, messageId, error, true);
    eventSource_.Report(platform::kEventTypeError, GetEventMessageId(eventId),
                        std::string_view(text));
}

void CNTService::ShowActionText(const std::string& text) {
    if (consoleOutput_) {
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
        return;
    }
    platform::ShowMessageBox(text, foundation::CurrentApp().ApplicationName(),
                             platform::kMbOk | platform::kMbIconError);
}

}  // namespace ruzd::app
