#pragma once

// CNTService: the base class of a program that runs as a service (own process, one service).
// It connects the program to the service control dispatcher, registers the control handler,
// reports the service's status, turns each control into a virtual operation, runs the service's
// work in the foreground when asked, and keeps per-service settings under
// HKLM\SYSTEM\CurrentControlSet\Services\<name>\Parameters\<section>. A derived class supplies
// the work (ServiceMain) and its stop (OnStop).
//
// There is one instance per process: its constructor makes it the one that the static entry
// points (the dispatcher's service main, the control handlers, the console handler) reach.
//
// The event source (bound to the display name) is registered when the dispatcher, a console
// run or a verb starts, so that the life-cycle events and the verbs' failures reach the event
// log.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/service/service_event_source.h"
#include "platform/service_api_extensions.h"
#include "platform/service_dispatcher.h"
#include "platform/service_types.h"

namespace ruzd::app {

class CNTServiceCommandLineInfo;

// A status value that SetStatus leaves as it is.
inline constexpr uint32_t kKeepStatusValue = 0xFFFFFFFF;

// Event ids of the framework's informational events.
inline constexpr uint32_t kEventServiceStopped = 0x40000003;
inline constexpr uint32_t kEventServicePaused = 0x40000004;
inline constexpr uint32_t kEventServiceContinued = 0x40000005;
inline constexpr uint32_t kEventServiceShutdown = 0x40000009;

// What SetServiceToStatus brings the installed service to.
inline constexpr uint32_t kServiceToRunning = 0;    // start
inline constexpr uint32_t kServiceToPaused = 1;     // pause
inline constexpr uint32_t kServiceToContinued = 2;  // continue
inline constexpr uint32_t kServiceToStopped = 3;    // stop

// How often the verbs look at a service whose state they wait for.
inline constexpr uint32_t kServiceStatePollMs = 250;

// Console controls, as the console handler receives them: Ctrl+C (SIGINT), Ctrl+Break (SIGQUIT)
// and the console's close (SIGHUP, and SIGTERM).
inline constexpr uint32_t kConsoleCtrlC = 0;
inline constexpr uint32_t kConsoleCtrlBreak = 1;
inline constexpr uint32_t kConsoleClose = 2;

class CNTService {
public:
    CNTService();
    CNTService(std::string serviceName, std::string displayName, uint32_t controlsAccepted,
               std::string description);
    virtual ~CNTService();
    CNTService(const CNTService&) = delete;
    CNTService& operator=(const CNTService&) = delete;

    // The process's one instance; null when there is none.
    static CNTService* Instance();

    // --- Settings under the service's "Parameters" key. Each gives the registry's error
    // through `error` (0 on success). A null entry deletes the whole section, a null value
    // the entry. Reads fall back to the default.
    virtual bool WriteProfileString(std::string_view section, std::optional<std::string_view> entry,
                                    std::optional<std::string_view> value,
                                    uint32_t* error = nullptr);
    virtual bool WriteProfileInt(std::string_view section, std::string_view entry, uint32_t value,
                                 uint32_t* error = nullptr);
    virtual bool WriteProfileStringArray(std::string_view section, std::string_view entry,
                                         const std::vector<std::string>& list,
                                         uint32_t* error = nullptr);
    virtual bool WriteProfileBinary(std::string_view section, std::string_view entry,
                                    std::string_view bytes, uint32_t* error = nullptr);
    virtual std::string GetProfileString(std::string_view section, std::string_view entry,
                                         std::string_view defaultValue, uint32_t* error = nullptr);
    virtual uint32_t GetProfileInt(std::string_view section, std::string_view entry,
                                   uint32_t defaultValue, uint32_t* error = nullptr);
    // Empties the list first.
    virtual bool GetProfileStringArray(std::string_view section, std::string_view entry,
                                       std::vector<std::string>& list, uint32_t* error = nullptr);
    // Empty bytes on failure.
    virtual bool GetProfileBinary(std::string_view section, std::string_view entry,
                                  std::string& bytes, uint32_t* error = nullptr);

    // Hands every argument (behind the program name) to the record's parser, a leading '-' or
    // '/' taken off a flag.
    virtual void ParseCommandLine(CNTServiceCommandLineInfo& info,
                                  const std::vector<std::string>& arguments);

    // --- Status. SetStatus stores the state, uses the exit codes only for stopped, forces the
    // check point and wait hint of stopped, running and paused to 0, keeps a stored value where
    // kKeepStatusValue is given, reports no accepted controls while pending, and hands the record
    // to the status handle outside its lock (false without a handle).
    virtual bool ReportStatus(uint32_t state, uint32_t checkPoint = kKeepStatusValue,
                              uint32_t waitHint = kKeepStatusValue,
                              uint32_t controlsAccepted = kKeepStatusValue);
    virtual bool ReportCurrentStatus();
    virtual bool SetStatus(uint32_t state, uint32_t checkPoint, uint32_t waitHint,
                           uint32_t controlsAccepted, uint32_t exitCode, uint32_t specificExitCode);
    virtual bool RegisterControlHandler();

    // Turns a control into its operation (the refused control is answered 120 at once), then
    // reports the current status again.
    virtual uint32_t HandleControl(uint32_t control, uint32_t eventType, void* eventData);

    // --- The service's work and its controls.
    virtual void ServiceMain(const std::vector<std::string>& arguments);
    virtual void OnStop();
    virtual void OnPause();
    virtual void OnContinue();
    virtual void OnInterrogate();
    virtual void OnShutdown();
    virtual void OnParamChange();
    virtual uint32_t OnHardwareProfileChange(uint32_t eventType, void* eventData);
    virtual uint32_t OnPowerEvent(uint32_t eventType, void* eventData);
    virtual void OnNetBindAdd();
    virtual void OnNetBindRemove();
    virtual void OnNetBindEnable();
    virtual void OnNetBindDisable();
    virtual uint32_t OnDeviceEvent(uint32_t eventType, void* eventData);
    virtual void OnUserDefinedRequest(uint32_t control);

    // Runs the service under the control dispatcher and returns when it has stopped: false with
    // the last error when the dispatcher could not run (1063 when no manager started the
    // process).
    virtual bool StartDispatcher();
    // Registers the handler, runs ServiceMain and reports stopped with both exit codes 0.
    virtual void RunServiceMain(const std::vector<std::string>& arguments);
    // Runs ServiceMain in the foreground with the process's arguments (less the switches that
    // ask for it), the stop signals taken as console controls.
    virtual void RunAsConsole();
    virtual bool OnConsoleControl(uint32_t code);
    virtual void ShowHelp();

    // --- The verbs of the command line. A failing step gives the system's error through
    // `error`, words the failure for the user into `errorText`, reports it with event logging
    // on, and releases what the verb opened.

    // Carries out the record's action, showing a failure unless the record is silent: 0, or the
    // Win32 code of the failure. Takes the names of "SN:", "SDN:" and "SD:" where the switches
    // say so; wipes the record's user name and password.
    virtual uint32_t RunCommandLineAction(CNTServiceCommandLineInfo& info);
    // Brings the installed service to the state of `action` (kServiceToRunning...) and waits
    // for it, polling every `pollMs` for at most `timeoutMs`; a service already there gets no
    // control.
    virtual bool SetServiceToStatus(uint32_t action, uint32_t& error, uint32_t timeoutMs,
                                    uint32_t pollMs);
    // Installs the service with the binary path, account and start type set before, holding
    // the service database's lock to the end, and installs its event source.
    virtual bool Install(std::string& errorText, uint32_t& error,
                         const CNTServiceCommandLineInfo& info);
    // Stops the service (waiting at most `timeoutMs`), removes it and its event source.
    virtual bool Uninstall(std::string& errorText, uint32_t& error, uint32_t timeoutMs);
    // The wording of a failure with the message `messageId`, for the user or the event log.
    virtual void FormatActionError(std::string& text, uint32_t messageId, uint32_t error,
                                   bool forEventLog);

    // The command line the service manager starts the program with: `modulePath` (quoted when
    // it holds a blank), the names where the switches take them, the "SCL:" text unquoted.
    std::string BuildBinaryPath(const std::string& modulePath,
                                const CNTServiceCommandLineInfo& info) const;

    // The installed services whose program (upper-cased) contains this program's path
    // (upper-cased).
    virtual bool EnumerateServices(std::vector<std::string>& names, uint32_t* error);

    virtual uint32_t GetMessageResourceId(uint32_t id);
    virtual uint32_t GetEventMessageId(uint32_t id);
    // The system's text of an error code; empty when it has none.
    virtual std::string GetErrorText(uint32_t code);
    virtual std::vector<std::string> GetDependencies();

    // Registers the event source under the display name when event logging is on; whether the
    // source is registered afterwards.
    bool RegisterEventSource();

    const std::string& ServiceName() const { return serviceName_; }
    const std::string& DisplayName() const { return displayName_; }
    const std::string& Description() const { return description_; }
    uint32_t CurrentState() const;
    uint32_t ControlsAccepted() const;
    CServiceEventSource& EventSource() { return eventSource_; }
    // Whether an installation appends the "SCL:" text to the program's path.
    void SetAppendServiceCommandLine(bool append) { appendServiceCommandLine_ = append; }

    // Every argument of the process but the switches that ask for a console run (-debug, /debug,
    // -app, /app, -application, /application, -console, /console, in any case).
    static std::vector<std::string> ConsoleArguments(const std::vector<std::string>& arguments);

protected:
    // For a derived class that reports its status elsewhere (and for tests).
    void SetStatusHandle(platform::ServiceStatusHandle handle);

    uint32_t serviceType_ = platform::kServiceWin32OwnProcess;
    uint32_t startType_ = platform::kServiceDemandStart;
    uint32_t errorControl_ = platform::kServiceErrorIgnore;
    std::string loadOrderGroup_;
    std::string userName_;
    std::string password_;
    std::string eventMessageFile_;
    uint32_t displayErrorFormat_ = 4;
    uint32_t eventLogErrorFormat_ = 1;
    std::vector<std::string> dependencies_;
    bool eventLogging_ = true;
    uint32_t refusedControl_ = 0;
    std::string serviceName_;
    std::string initialServiceName_;
    std::string displayName_;
    std::string initialDisplayName_;
    std::string description_;
    std::string initialDescription_;
    CServiceEventSource eventSource_;
    bool appendServiceCommandLine_ = false;
    bool takeServiceName_ = false;
    bool takeDescription_ = false;
    bool takeDisplayName_ = false;
    bool consoleOutput_ = false;
    std::string binaryPath_;
    // The exit codes of the stopped status reported once ServiceMain has returned: a service whose
    // work could not start says so (kErrorServiceSpecificError and its own code).
    uint32_t stopExitCode_ = 0;
    uint32_t stopSpecificExitCode_ = 0;

    // Words a failed step (the last error is the cause) into `errorText` and `error`, and
    // reports event `eventId` (0: none) with the event-log wording; always false.
    bool FailStep(std::string* errorText, uint32_t& error, uint32_t messageId, uint32_t eventId);
    // Reports a failure event with the event-log wording of the message, with event logging on.
    void ReportFailure(uint32_t eventId, uint32_t messageId, uint32_t error);
    // A message box, or a line on standard output with console output on.
    void ShowActionText(const std::string& text);

private:
    static void StaticServiceMain(const std::vector<std::string>& arguments);
    static void StaticHandler(uint32_t control);
    static uint32_t StaticHandlerEx(uint32_t control, uint32_t eventType, void* eventData,
                                    void* context);
    void ReportInformation(uint32_t eventId);

    // Guards the status fields below.
    mutable std::recursive_mutex statusLock_;
    platform::ServiceStatusHandle statusHandle_ = nullptr;
    uint32_t controlsAccepted_ = 0;
    uint32_t checkPoint_ = 0;
    uint32_t waitHint_ = 0;
    uint32_t currentState_ = platform::kServiceStopped;

    decltype(platform::ServiceApiExtensions::register_service_ctrl_handler_ex) registerHandlerEx_ =
        nullptr;
};

}  // namespace ruzd::app
