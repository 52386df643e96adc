#include "app/service/nt_service.h"

#include <algorithm>
#include <cstdlib>

#include "app/service/event_source_registry.h"
#include "app/service/nt_service_command_line_info.h"
#include "app/service/service_control_manager_handle.h"
#include "app/service/service_handle.h"
#include "platform/child_groups.h"
#include "platform/reg_value.h"
#include "platform/registry.h"
#include "platform/running_program.h"
#include "platform/stop_signals.h"
#include "platform/text.h"
#include "platform/win_error.h"

namespace ruzd::app {
namespace {

CNTService* theInstance = nullptr;

constexpr uint32_t kDefaultControlsAccepted =
    platform::kServiceAcceptStop | platform::kServiceAcceptPauseContinue;
constexpr size_t kMaxDispatchedNameLength = 255;

bool IsFinalState(uint32_t state) {
    return state == platform::kServiceStopped || state == platform::kServiceRunning ||
           state == platform::kServicePaused;
}

uint32_t ConsoleCode(platform::StopSignal signal) {
    switch (signal) {
        case platform::StopSignal::kInterrupt:
            return kConsoleCtrlC;
        case platform::StopSignal::kQuit:
            return kConsoleCtrlBreak;
        default:
            return kConsoleClose;
    }
}

// Writes through `error` and tells whether it is success.
bool Outcome(uint32_t result, uint32_t* error) {
    if (error != nullptr) {
        *error = result;
    }
    return result == platform::kErrorSuccess;
}

}  // namespace

CNTService::CNTService() : CNTService("", "", kDefaultControlsAccepted, "") {}

CNTService::CNTService(std::string serviceName, std::string displayName, uint32_t controlsAccepted,
                       std::string description)
    : serviceName_(serviceName),
      initialServiceName_(std::move(serviceName)),
      displayName_(displayName),
      initialDisplayName_(displayName),
      description_(description),
      initialDescription_(std::move(description)),
      eventSource_("", std::move(displayName)),
      controlsAccepted_(controlsAccepted),
      registerHandlerEx_(platform::FindServiceApiExtensions().register_service_ctrl_handler_ex) {
    theInstance = this;
}

CNTService::~CNTService() {
    if (theInstance == this) {
        theInstance = nullptr;
    }
}

CNTService* CNTService::Instance() {
    return theInstance;
}

// --- Profile -----------------------------------------------------------------------------

namespace {

std::string ParametersPath(const std::string& serviceName, std::string_view section) {
    std::string path = "SYSTEM\\CurrentControlSet\\Services\\" + serviceName + "\\Parameters";
    if (!section.empty()) {
        path += "\\" + std::string(section);
    }
    return path;
}

uint32_t OpenForWriting(const std::string& path, platform::RegistryKey* key) {
    return platform::RegistryKey::LocalMachine().CreateSubKey(path, platform::RegAccess::kAllAccess,
                                                              key);
}

uint32_t ReadValue(const std::string& path, std::string_view entry, uint32_t* type,
                   std::string* bytes) {
    platform::RegistryKey key;
    if (const uint32_t error = platform::RegistryKey::LocalMachine().OpenSubKey(
            path, platform::RegAccess::kRead, &key);
        error != platform::kErrorSuccess) {
        return error;
    }
    uint32_t size = 0;
    if (const uint32_t error = key.QueryValue(entry, type, nullptr, &size);
        error != platform::kErrorSuccess) {
        return error;
    }
    bytes->assign(size, '\0');
    if (const uint32_t error = key.QueryValue(entry, type, bytes->data(), &size);
        error != platform::kErrorSuccess) {
        return error;
    }
    bytes->resize(size);
    return platform::kErrorSuccess;
}

uint32_t WriteValue(const std::string& path, std::string_view entry, uint32_t type,
                    const std::string& bytes) {
    platform::RegistryKey key;
    if (const uint32_t error = OpenForWriting(path, &key); error != platform::kErrorSuccess) {
        return error;
    }
    return key.SetValue(entry, type, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

}  // namespace

bool CNTService::WriteProfileString(std::string_view section, std::optional<std::string_view> entry,
                                    std::optional<std::string_view> value, uint32_t* error) {
    const std::string path = ParametersPath(serviceName_, section);
    if (!entry) {
        const std::string parent = ParametersPath(serviceName_, "");
        platform::RegistryKey key;
        uint32_t result = OpenForWriting(parent, &key);
        if (result == platform::kErrorSuccess) {
            result = key.DeleteSubKey(section);
        }
        return Outcome(result, error);
    }
    if (!value) {
        platform::RegistryKey key;
        uint32_t result = OpenForWriting(path, &key);
        if (result == platform::kErrorSuccess) {
            result = key.DeleteValue(*entry);
        }
        return Outcome(result, error);
    }
    return Outcome(WriteValue(path, *entry, platform::kRegSz, platform::RegSzBytes(*value)), error);
}

bool CNTService::WriteProfileInt(std::string_view section, std::string_view entry, uint32_t value,
                                 uint32_t* error) {
    return Outcome(WriteValue(ParametersPath(serviceName_, section), entry, platform::kRegDword,
                              platform::RegDwordBytes(value)),
                   error);
}

bool CNTService::WriteProfileStringArray(std::string_view section, std::string_view entry,
                                         const std::vector<std::string>& list, uint32_t* error) {
    return Outcome(WriteValue(ParametersPath(serviceName_, section), entry, platform::kRegMultiSz,
                              platform::RegMultiSzBytes(list)),
                   error);
}

bool CNTService::WriteProfileBinary(std::string_view section, std::string_view entry,
                                    std::string_view bytes, uint32_t* error) {
    return Outcome(WriteValue(ParametersPath(serviceName_, section), entry, platform::kRegBinary,
                              std::string(bytes)),
                   error);
}

std::string CNTService::GetProfileString(std::string_view section, std::string_view entry,
                                         std::string_view defaultValue, uint32_t* error) {
    uint32_t type = 0;
    std::string bytes;
    uint32_t result = ReadValue(ParametersPath(serviceName_, section), entry, &type, &bytes);
    std::optional<std::string> text;
    if (result == platform::kErrorSuccess) {
        text = platform::RegSzText(type, bytes);
        result = text ? platform::kErrorSuccess : platform::kErrorInvalidData;
    }
    Outcome(result, error);
    return text.value_or(std::string(defaultValue));
}

uint32_t CNTService::GetProfileInt(std::string_view section, std::string_view entry,
                                   uint32_t defaultValue, uint32_t* error) {
    uint32_t type = 0;
    std::string bytes;
    uint32_t result = ReadValue(ParametersPath(serviceName_, section), entry, &type, &bytes);
    std::optional<uint32_t> number;
    if (result == platform::kErrorSuccess) {
        number = platform::RegDwordNumber(type, bytes);
        result = number ? platform::kErrorSuccess : platform::kErrorInvalidData;
    }
    Outcome(result, error);
    return number.value_or(defaultValue);
}

bool CNTService::GetProfileStringArray(std::string_view section, std::string_view entry,
                                       std::vector<std::string>& list, uint32_t* error) {
    list.clear();
    uint32_t type = 0;
    std::string bytes;
    uint32_t result = ReadValue(ParametersPath(serviceName_, section), entry, &type, &bytes);
    if (result == platform::kErrorSuccess) {
        if (std::optional<std::vector<std::string>> texts =
                platform::RegMultiSzTexts(type, bytes)) {
            list = std::move(*texts);
        } else {
            result = platform::kErrorInvalidData;
        }
    }
    return Outcome(result, error);
}

bool CNTService::GetProfileBinary(std::string_view section, std::string_view entry,
                                  std::string& bytes, uint32_t* error) {
    uint32_t type = 0;
    const uint32_t result = ReadValue(ParametersPath(serviceName_, section), entry, &type, &bytes);
    if (result != platform::kErrorSuccess) {
        bytes.clear();
    }
    return Outcome(result, error);
}

// --- Command line --------------------------------------------------------------------------

void CNTService::ParseCommandLine(CNTServiceCommandLineInfo& info,
                                  const std::vector<std::string>& arguments) {
    for (size_t i = 0; i < arguments.size(); ++i) {
        std::string_view text = arguments[i];
        const bool isFlag = !text.empty() && (text.front() == '-' || text.front() == '/');
        if (isFlag) {
            text.remove_prefix(1);
        }
        info.ParseParam(text, isFlag, i + 1 == arguments.size());
    }
}

// --- Status --------------------------------------------------------------------------------

bool CNTService::ReportStatus(uint32_t state, uint32_t checkPoint, uint32_t waitHint,
                              uint32_t controlsAccepted) {
    return SetStatus(state, checkPoint, waitHint, controlsAccepted, 0, 0);
}

bool CNTService::ReportCurrentStatus() {
    return ReportStatus(CurrentState(), kKeepStatusValue, kKeepStatusValue, kKeepStatusValue);
}

bool CNTService::SetStatus(uint32_t state, uint32_t checkPoint, uint32_t waitHint,
                           uint32_t controlsAccepted, uint32_t exitCode,
                           uint32_t specificExitCode) {
    platform::ServiceStatus status;
    platform::ServiceStatusHandle handle = nullptr;
    {
        std::lock_guard<std::recursive_mutex> lock(statusLock_);
        currentState_ = state;
        if (state != platform::kServiceStopped) {
            exitCode = 0;
            specificExitCode = 0;
        }
        if (IsFinalState(state)) {
            checkPoint = 0;
            waitHint = 0;
        }
        if (checkPoint != kKeepStatusValue) {
            checkPoint_ = checkPoint;
        }
        if (waitHint != kKeepStatusValue) {
            waitHint_ = waitHint;
        }
        if (controlsAccepted != kKeepStatusValue) {
            controlsAccepted_ = controlsAccepted;
        }
        status.service_type = platform::kServiceWin32OwnProcess;
        status.current_state = state;
        status.controls_accepted = platform::IsPendingServiceState(state) ? 0 : controlsAccepted_;
        status.win32_exit_code = exitCode;
        status.service_specific_exit_code = specificExitCode;
        status.check_point = checkPoint_;
        status.wait_hint = waitHint_;
        handle = statusHandle_;
    }
    // Outside the lock, so that a control arriving meanwhile never waits for the report.
    return handle != nullptr && platform::SetServiceStatus(handle, status);
}

bool CNTService::RegisterControlHandler() {
    std::lock_guard<std::recursive_mutex> lock(statusLock_);
    statusHandle_ = registerHandlerEx_ != nullptr
                        ? registerHandlerEx_(serviceName_, &StaticHandlerEx, this)
                        : platform::RegisterServiceCtrlHandler(serviceName_, &StaticHandler);
    return statusHandle_ != nullptr;
}

void CNTService::SetStatusHandle(platform::ServiceStatusHandle handle) {
    std::lock_guard<std::recursive_mutex> lock(statusLock_);
    statusHandle_ = handle;
}

uint32_t CNTService::CurrentState() const {
    std::lock_guard<std::recursive_mutex> lock(statusLock_);
    return currentState_;
}

uint32_t CNTService::ControlsAccepted() const {
    std::lock_guard<std::recursive_mutex> lock(statusLock_);
    return controlsAccepted_;
}

// --- Controls ------------------------------------------------------------------------------

uint32_t CNTService::HandleControl(uint32_t control, uint32_t eventType, void* eventData) {
    if (control == refusedControl_) {
        return platform::kErrorCallNotImplemented;
    }
    uint32_t result = 0;
    switch (control) {
        case platform::kServiceControlStop:
            OnStop();
            break;
        case platform::kServiceControlPause:
            OnPause();
            break;
        case platform::kServiceControlContinue:
            OnContinue();
            break;
        case platform::kServiceControlInterrogate:
            OnInterrogate();
            break;
        case platform::kServiceControlShutdown:
            OnShutdown();
            break;
        case platform::kServiceControlParamChange:
            OnParamChange();
            break;
        case platform::kServiceControlNetBindAdd:
            OnNetBindAdd();
            break;
        case platform::kServiceControlNetBindRemove:
            OnNetBindRemove();
            break;
        case platform::kServiceControlNetBindEnable:
            OnNetBindEnable();
            break;
        case platform::kServiceControlNetBindDisable:
            OnNetBindDisable();
            break;
        case platform::kServiceControlDeviceEvent:
            result = OnDeviceEvent(eventType, eventData);
            break;
        case platform::kServiceControlHardwareProfileChange:
            result = OnHardwareProfileChange(eventType, eventData);
            break;
        case platform::kServiceControlPowerEvent:
            result = OnPowerEvent(eventType, eventData);
            break;
        default:
            OnUserDefinedRequest(control);
            break;
    }
    ReportCurrentStatus();
    return result;
}

void CNTService::ReportInformation(uint32_t eventId) {
    if (eventLogging_) {
        eventSource_.Report(platform::kEventTypeInformation, GetEventMessageId(eventId),
                            std::string_view(displayName_));
    }
}

void CNTService::ServiceMain(const std::vector<std::string>&) {}

void CNTService::OnStop() {
    ReportInformation(kEventServiceStopped);
}

void CNTService::OnPause() {
    ReportInformation(kEventServicePaused);
}

void CNTService::OnContinue() {
    ReportInformation(kEventServiceContinued);
}

void CNTService::OnInterrogate() {
    ReportCurrentStatus();
}

void CNTService::OnShutdown() {
    ReportInformation(kEventServiceShutdown);
}

void CNTService::OnParamChange() {}

uint32_t CNTService::OnHardwareProfileChange(uint32_t, void*) {
    return 0;
}

uint32_t CNTService::OnPowerEvent(uint32_t, void*) {
    return 0;
}

void CNTService::OnNetBindAdd() {}

void CNTService::OnNetBindRemove() {}

void CNTService::OnNetBindEnable() {}

void CNTService::OnNetBindDisable() {}

uint32_t CNTService::OnDeviceEvent(uint32_t, void*) {
    return 0;
}

void CNTService::OnUserDefinedRequest(uint32_t) {}

// --- Running -------------------------------------------------------------------------------

bool CNTService::RegisterEventSource() {
    if (!eventLogging_) {
        return false;
    }
    return eventSource_.IsRegistered() || eventSource_.Register("", displayName_);
}

bool CNTService::StartDispatcher() {
    RegisterEventSource();
    const std::vector<platform::ServiceTableEntry> table = {
        {serviceName_.substr(0, kMaxDispatchedNameLength), &StaticServiceMain}};
    return platform::StartServiceCtrlDispatcher(table);
}

void CNTService::StaticServiceMain(const std::vector<std::string>& arguments) {
    if (theInstance != nullptr) {
        theInstance->RunServiceMain(arguments);
    }
}

void CNTService::StaticHandler(uint32_t control) {
    if (theInstance != nullptr) {
        theInstance->HandleControl(control, 0, nullptr);
    }
}

uint32_t CNTService::StaticHandlerEx(uint32_t control, uint32_t eventType, void* eventData,
                                     void* context) {
    auto* service = static_cast<CNTService*>(context);
    return service->HandleControl(control, eventType, eventData);
}

void CNTService::RunServiceMain(const std::vector<std::string>& arguments) {
    RegisterControlHandler();
    ServiceMain(arguments);
    SetStatus(platform::kServiceStopped, kKeepStatusValue, kKeepStatusValue, kKeepStatusValue,
              stopExitCode_, stopSpecificExitCode_);
}

std::vector<std::string> CNTService::ConsoleArguments(const std::vector<std::string>& arguments) {
    static constexpr const char* kConsoleSwitches[] = {
        "-debug", "/debug", "-app", "/app", "-application", "/application", "-console", "/console"};
    std::vector<std::string> kept;
    for (const std::string& argument : arguments) {
        const bool dropped = std::any_of(
            std::begin(kConsoleSwitches), std::end(kConsoleSwitches),
            [&](const char* name) { return platform::EqualsIgnoreCase(argument, name); });
        if (!dropped) {
            kept.push_back(argument);
        }
    }
    return kept;
}

void CNTService::RunAsConsole() {
    const std::vector<std::string> arguments =
        ConsoleArguments(platform::RunningProgramArguments());
    // The stop signals stand in for the console's controls: Ctrl+C, Ctrl+Break and the close.
    platform::StopSignals signals({platform::StopSignal::kInterrupt,
                                   platform::StopSignal::kTerminate, platform::StopSignal::kQuit,
                                   platform::StopSignal::kHangUp});
    signals.WatchEach([](platform::StopSignal signal) {
        CNTService* service = Instance();
        if (service == nullptr || !service->OnConsoleControl(ConsoleCode(signal))) {
            // Unhandled, the control ends the process as the system's own handler would, and
            // the commands it runs bounded with it.
            platform::KillChildGroups();
            std::_Exit(128 + platform::SignalNumber(signal));
        }
    });
    RegisterEventSource();
    ServiceMain(arguments);
}

bool CNTService::OnConsoleControl(uint32_t code) {
    if (code == kConsoleCtrlC || code == kConsoleCtrlBreak || code == kConsoleClose) {
        OnStop();
        return true;
    }
    return false;
}

void CNTService::ShowHelp() {}

bool CNTService::EnumerateServices(std::vector<std::string>& names, uint32_t* error) {
    names.clear();
    CServiceControlManagerHandle manager;
    if (!manager.Open("", platform::kScManagerConnect | platform::kScManagerEnumerateService)) {
        return Outcome(platform::GetLastError(), error);
    }
    const std::string program = platform::AsciiUpper(platform::RunningProgramPath().string());
    manager.EnumServices(
        platform::kServiceWin32, platform::kServiceStateAll,
        [&](const platform::EnumServiceStatus& entry) {
            CServiceHandle service;
            platform::ServiceConfig config;
            if (manager.OpenService(entry.service_name, platform::kServiceQueryConfig, service) &&
                service.QueryConfig(config) &&
                platform::AsciiUpper(config.binary_path_name).find(program) != std::string::npos) {
                names.push_back(entry.service_name);
            }
            return true;
        });
    return Outcome(platform::kErrorSuccess, error);
}

uint32_t CNTService::GetMessageResourceId(uint32_t id) {
    return id;
}

uint32_t CNTService::GetEventMessageId(uint32_t id) {
    return id;
}

std::string CNTService::GetErrorText(uint32_t code) {
    return platform::KnownWinErrorText(code).value_or("");
}

std::vector<std::string> CNTService::GetDependencies() {
    return dependencies_;
}

}  // namespace ruzd::app
