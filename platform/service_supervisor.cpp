#include "platform/service_supervisor.h"

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include "platform/child_process.h"
#include "platform/clock.h"
#include "platform/command_line.h"
#include "platform/error_output.h"
#include "platform/event.h"
#include "platform/process_identity.h"
#include "platform/root.h"
#include "platform/running_program.h"
#include "platform/service_account.h"
#include "platform/service_control_channel.h"
#include "platform/service_dispatcher.h"
#include "platform/service_manager.h"
#include "platform/service_record.h"
#include "platform/service_run_files.h"
#include "platform/stop_signals.h"
#include "platform/system_reboot.h"
#include "platform/text.h"
#include "platform/win_error.h"

namespace ruzd::platform {
namespace {

constexpr std::string_view kResultTag = "ruzd-svcrun-result ";
constexpr const char* kToolsDirVariable = "RUZD_TOOLS_DIR";
constexpr const char* kDefaultPath = "/usr/local/bin:/usr/bin:/bin";
// How often the supervisor looks for the first status of a starting program.
constexpr auto kStartPoll = std::chrono::milliseconds(10);
// How long a service asked to stop by the supervisor's own stop may take (systemd's default).
constexpr uint32_t kStopTimeoutMs = 90000;

// The account a service runs as: none for the supervisor's own (LocalSystem, or a supervisor
// that is not root and so cannot change it). 0, or kErrorServiceLogonFailed when no such user
// exists (said on standard error).
uint32_t ServiceAccountOf(const ServiceRecord& record, std::optional<ServiceAccount>* account) {
    account->reset();
    if (::geteuid() != 0) {
        return kErrorSuccess;
    }
    std::string problem;
    if (LookUpServiceAccount(record, account, &problem) != kErrorSuccess) {
        WriteErrorLine(problem);
        return kErrorServiceLogonFailed;
    }
    return kErrorSuccess;
}

// Makes `command` run as the account (setpriv drops root's rights before the program starts).
void RunAs(const ServiceAccount& account, std::vector<std::string>* command) {
    command->insert(command->begin(),
                    {"setpriv", "--reuid=" + std::to_string(account.uid),
                     "--regid=" + std::to_string(account.gid), "--init-groups", "--"});
}

std::vector<std::string> ServiceEnvironment(const ServiceRecord& record,
                                            const std::vector<std::string>& arguments) {
    const char* path = std::getenv("PATH");
    std::vector<std::string> environment = {
        std::string("PATH=") + (path != nullptr ? path : kDefaultPath),
        "RUZD_ROOT=" + Root().string(),
        std::string(kServiceNameVariable) + "=" + record.name,
        std::string(kServiceControlFdVariable) + "=3",
    };
    if (!arguments.empty()) {
        std::vector<std::string> line{"x"};
        line.insert(line.end(), arguments.begin(), arguments.end());
        const std::string joined = JoinCommandLine(line);
        environment.push_back(std::string(kServiceArgumentsVariable) + "=" + joined.substr(2));
    }
    for (const std::string& entry : record.environment) {
        const size_t equals = entry.find('=');
        if (equals != std::string::npos && equals > 0) {
            environment.push_back(entry);
        }
    }
    return environment;
}

class Supervisor {
public:
    Supervisor(std::string name, std::vector<std::string> arguments)
        : name_(std::move(name)), arguments_(std::move(arguments)) {}
    ~Supervisor() {
        if (listener_ >= 0) {
            ::close(listener_);
        }
        if (lock_ >= 0) {
            ::close(lock_);
        }
    }

    int Run();

private:
    uint32_t Prepare(ServiceRecord* record);
    void RemoveOlderRunFiles();
    uint32_t Launch(const ServiceRecord& record);
    void Report(uint32_t result);
    void Supervise();
    bool Failed(const ServiceRecord& record);
    void Stop();
    // With an owner, the file is handed to it (WriteServiceStatusFile).
    uint32_t WriteStatus(uint32_t state, uint32_t exit_code, uint32_t wait_hint, uint32_t pid,
                         std::optional<FileOwner> owner = std::nullopt) {
        ServiceStatus status;
        status.service_type = type_;
        status.current_state = state;
        status.win32_exit_code = exit_code;
        status.wait_hint = wait_hint;
        return WriteServiceStatusFile(name_, status, pid, owner);
    }
    // Waits `ms` unless a stop comes first: whether the time passed.
    bool Sleep(uint32_t ms) { return stop_.Wait(ms) == kWaitTimeout; }
    void RunFailureCommand(const ServiceRecord& record);

    std::string name_;
    std::vector<std::string> arguments_;
    uint32_t type_ = kServiceWin32OwnProcess;
    int lock_ = -1;
    int listener_ = -1;
    std::unique_ptr<ChildProcess> child_;
    Event stop_{true};
    uint32_t failures_ = 0;
    uint64_t last_failure_ms_ = 0;
};

uint32_t Supervisor::Prepare(ServiceRecord* record) {
    if (const uint32_t error = CheckServiceName(name_); error != kErrorSuccess) {
        return error;
    }
    if (const uint32_t error = PrepareServiceRunFolder(name_, std::nullopt);
        error != kErrorSuccess) {
        return error;
    }
    RemoveOlderRunFiles();
    const std::filesystem::path lock_path = ServiceLockFile(name_);
    lock_ = OpenServiceRunFile(lock_path, O_RDWR | O_CREAT);
    if (lock_ < 0) {
        const uint32_t error = WinErrorFromLastErrno();
        WriteErrorLine(lock_path.string() + ": " + WinErrorText(error));
        return error;
    }
    // A supervisor whose service has just stopped may not have ended yet: it is waited for.
    const uint64_t waited_since = SystemClock().TickMs();
    while (::flock(lock_, LOCK_EX | LOCK_NB) != 0) {
        ServiceStatusProcess current;
        if (const uint32_t error = QueryCurrentServiceStatus(name_, &current);
            error != kErrorSuccess) {
            return error;
        }
        if (current.status.current_state != kServiceStopped) {
            return kErrorServiceAlreadyRunning;
        }
        if (SystemClock().TickMs() - waited_since > ServicesPipeTimeoutMs()) {
            char holder[32] = {};
            const ssize_t got = ::pread(lock_, holder, sizeof holder - 1, 0);
            const std::string pid = got > 0 ? std::string(holder, static_cast<size_t>(got)) : "";
            WriteErrorLine(
                lock_path.string() + ": held by another supervisor" +
                (pid.empty() ? std::string() : " (process " + pid.substr(0, pid.find('\n')) + ")") +
                " for " + std::to_string(ServicesPipeTimeoutMs() / 1000) + " seconds; given up");
            return kErrorServiceAlreadyRunning;
        }
        std::this_thread::sleep_for(kStartPoll);
    }
    const std::string pid = std::to_string(CurrentProcessId()) + "\n";
    if (::ftruncate(lock_, 0) != 0 ||
        ::pwrite(lock_, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
        return WinErrorFromLastErrno();
    }
    if (const uint32_t error = ReadServiceRecord(name_, record); error != kErrorSuccess) {
        return error;
    }
    name_ = record->name;
    type_ = record->type;
    if (record->start == kServiceDisabled) {
        return kErrorServiceDisabled;
    }
    if (const uint32_t error = CheckRecordForStart(*record); error != kErrorSuccess) {
        return error;
    }
    ServiceStatusProcess current;
    if (const uint32_t error = QueryCurrentServiceStatus(name_, &current); error != kErrorSuccess) {
        return error;
    }
    if (current.status.current_state != kServiceStopped) {
        return kErrorServiceAlreadyRunning;
    }
    listener_ = ListenServiceControl(name_);
    if (listener_ < 0) {
        return WinErrorFromLastErrno();
    }
    return kErrorSuccess;
}

// Builds before this one kept the status, lock and control socket beside the output file, open
// to every account; they say nothing true any more.
void Supervisor::RemoveOlderRunFiles() {
    const std::filesystem::path output = ServiceOutputFile(name_);
    const std::string stem = output.string().substr(0, output.string().size() - 4);
    std::error_code ignored;
    for (const char* suffix : {".status", ".lock", ".ctl"}) {
        std::filesystem::remove(stem + suffix, ignored);
    }
}

uint32_t Supervisor::Launch(const ServiceRecord& record) {
    std::vector<std::string> command = ServiceCommandWords(record.image_path);
    if (command.empty()) {
        return kErrorInvalidData;
    }
    if (!ServiceProgramExists(command.front())) {
        WriteErrorLine("the program of " + name_ + ", " + command.front() + ", does not exist");
        return kErrorFileNotFound;
    }
    std::optional<ServiceAccount> account;
    if (const uint32_t error = ServiceAccountOf(record, &account); error != kErrorSuccess) {
        return error;
    }
    // The account the service runs as, when it is not the supervisor's own.
    const std::optional<FileOwner> owner =
        account ? std::optional<FileOwner>(FileOwner{account->uid, account->gid}) : std::nullopt;
    // The service's folders are its account's; those of a service that ran as another account
    // before come back to this one.
    if (const uint32_t error =
            PrepareServiceFiles(name_, owner.value_or(FileOwner{::geteuid(), ::getegid()}));
        error != kErrorSuccess) {
        return error;
    }
    // The service writes its status file under its own account. A file that is not ready for
    // it fails the start now, with its reason, not later as a start that timed out.
    if (const uint32_t error = WriteStatus(kServiceStartPending, 0, 0, CurrentProcessId(), owner);
        error != kErrorSuccess) {
        WriteErrorLine(Format("%s cannot start: its status file cannot be written for it: %s",
                              name_.c_str(), WinErrorText(error).c_str()));
        return error;
    }
    if (account) {
        RunAs(*account, &command);
    }
    ChildStart start;
    start.arguments = std::move(command);
    start.working_folder = ServiceWorkingFolder(name_).string();
    start.environment = ServiceEnvironment(record, arguments_);
    start.own_session = true;
    start.output_file = ServiceOutputFile(name_).string();
    start.passed_descriptor = listener_;
    child_ = ChildProcess::Start(start);
    if (!child_) {
        return GetLastError();
    }
    const uint32_t timeout_ms = ServicesPipeTimeoutMs();
    const uint64_t started_ms = SystemClock().TickMs();
    for (;;) {
        ServiceStatusRecord status;
        if (ReadServiceStatusFile(name_, &status) == kErrorSuccess &&
            status.pid == static_cast<uint32_t>(child_->pid())) {
            return kErrorSuccess;
        }
        if (child_->HasEnded()) {
            return kErrorProcessAborted;
        }
        if (SystemClock().TickMs() - started_ms > timeout_ms) {
            child_->KillGroup();
            child_->ended().Wait(kInfinite);
            return kErrorServiceRequestTimeout;
        }
        std::this_thread::sleep_for(kStartPoll);
    }
}

void Supervisor::Report(uint32_t result) {
    const std::string line = SupervisorResultLine(result);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
    // From here on the supervisor's own words go where the service's output goes.
    const int output = OpenServiceRunFile(ServiceOutputFile(name_), O_WRONLY | O_APPEND | O_CREAT);
    if (output >= 0) {
        ::dup2(output, STDOUT_FILENO);
        ::dup2(output, STDERR_FILENO);
        ::close(output);
    }
}

// Whether the service is to be started again.
bool Supervisor::Failed(const ServiceRecord& started) {
    ServiceRecord record;
    if (ReadServiceRecord(started.name, &record) != kErrorSuccess) {
        WriteErrorLine(name_ + " was removed; it is not started again");
        return false;
    }
    auto [reset_period_s, actions] = FailureActionsOf(record);
    const uint64_t now_ms = SystemClock().TickMs();
    if (failures_ > 0 && reset_period_s != kResetPeriodInfinite &&
        now_ms - last_failure_ms_ >= static_cast<uint64_t>(reset_period_s) * 1000) {
        failures_ = 0;
    }
    ++failures_;
    last_failure_ms_ = now_ms;
    if (actions.empty()) {
        return false;
    }
    const ScAction action = actions[std::min<size_t>(failures_, actions.size()) - 1];
    switch (action.type) {
        case kScActionRestart:
            WriteErrorLine(Format("restarting %s in %u ms (failure %u)", name_.c_str(),
                                  action.delay_ms, failures_));
            WriteStatus(kServiceStartPending, 0, action.delay_ms, CurrentProcessId());
            if (!Sleep(action.delay_ms)) {
                WriteStatus(kServiceStopped, 0, 0, CurrentProcessId());
                return false;
            }
            return true;
        case kScActionReboot:
            if (Sleep(action.delay_ms)) {
                const uint32_t error = InitiateSystemReboot(0, record.reboot_message);
                WriteErrorLine(Format("rebooting after failure %u of %s: %u", failures_,
                                      name_.c_str(), error));
            }
            return false;
        case kScActionRunCommand:
            if (Sleep(action.delay_ms)) {
                RunFailureCommand(record);
            }
            return false;
        default:
            return false;
    }
}

void Supervisor::RunFailureCommand(const ServiceRecord& record) {
    std::string line = record.failure_command;
    for (size_t at = line.find("%1%"); at != std::string::npos; at = line.find("%1%", at)) {
        const std::string count = std::to_string(failures_);
        line.replace(at, 3, count);
        at += count.size();
    }
    std::vector<std::string> command = ServiceCommandWords(line);
    if (command.empty()) {
        WriteErrorLine("no failure command is set for " + name_);
        return;
    }
    // The failure command runs as the service's account, as the service does.
    std::optional<ServiceAccount> account;
    if (ServiceAccountOf(record, &account) != kErrorSuccess) {
        return;
    }
    if (account) {
        RunAs(*account, &command);
    }
    ChildStart start;
    start.arguments = std::move(command);
    start.working_folder = ServiceWorkingFolder(name_).string();
    start.environment = ServiceEnvironment(record, {});
    start.own_session = true;
    start.output_file = ServiceOutputFile(name_).string();
    if (!ChildProcess::Start(start)) {
        WriteErrorLine(Format("the failure command of %s did not start: %s", name_.c_str(),
                              WinErrorText(GetLastError()).c_str()));
    }
}

void Supervisor::Stop() {
    if (child_->HasEnded()) {
        return;
    }
    ::kill(child_->pid(), SIGTERM);
    if (child_->ended().Wait(kStopTimeoutMs) == kWaitTimeout) {
        child_->KillGroup();
        child_->ended().Wait(kInfinite);
    }
}

void Supervisor::Supervise() {
    ServiceRecord record;
    for (;;) {
        Waitable* const ends[] = {&child_->ended(), &stop_};
        if (WaitForMultiple(ends, false, kInfinite) == 1) {
            Stop();
        }
        ServiceStatusRecord status;
        const uint32_t pid = static_cast<uint32_t>(child_->pid());
        if (ReadServiceStatusFile(name_, &status) == kErrorSuccess && status.pid == pid &&
            status.status.current_state == kServiceStopped) {
            return;
        }
        WriteStatus(kServiceStopped, kErrorProcessAborted, 0, pid);
        if (stop_.IsSet()) {
            return;
        }
        WriteErrorLine(Format("%s ended without reporting stopped", name_.c_str()));
        if (ReadServiceRecord(name_, &record) != kErrorSuccess || !Failed(record)) {
            return;
        }
        if (const uint32_t error = Launch(record); error != kErrorSuccess) {
            WriteErrorLine(Format("%s could not be started again: %s", name_.c_str(),
                                  WinErrorText(error).c_str()));
            WriteStatus(kServiceStopped, error, 0, CurrentProcessId());
            return;
        }
    }
}

int Supervisor::Run() {
    // The supervisor reads nothing; its children must not hold its starter's input either.
    const int nothing = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (nothing >= 0) {
        ::dup2(nothing, STDIN_FILENO);
        ::close(nothing);
    }
    // A starter that went away before reading the result must not take the supervisor with it.
    ::signal(SIGPIPE, SIG_IGN);
    StopSignals signals(
        {StopSignal::kInterrupt, StopSignal::kTerminate, StopSignal::kQuit, StopSignal::kHangUp});
    signals.WatchEach([this](StopSignal) { stop_.Set(); });
    ServiceRecord record;
    uint32_t result = Prepare(&record);
    if (result == kErrorSuccess) {
        result = Launch(record);
        if (result != kErrorSuccess) {
            WriteStatus(kServiceStopped, result, 0, CurrentProcessId());
        }
    }
    Report(result);
    if (result == kErrorSuccess) {
        Supervise();
    }
    if (listener_ >= 0) {
        std::error_code ignored;
        std::filesystem::remove(ServiceControlSocket(name_), ignored);
    }
    return result == kErrorSuccess ? 0 : 1;
}

int BootServices() {
    // Boot starts the services this supervisor keeps, whatever back-end the machine has.
    ::setenv(kServiceManagerVariable, "local", 1);
    std::vector<ServiceRecord> records;
    if (const uint32_t error = ReadAllServiceRecords(&records); error != kErrorSuccess) {
        WriteErrorLine("the service database cannot be read: " + WinErrorText(error));
        return 1;
    }
    std::stable_partition(records.begin(), records.end(),
                          [](const ServiceRecord& record) { return !record.delayed_autostart; });
    ScHandle manager = OpenSCManager("", "", kScManagerConnect);
    if (manager == nullptr) {
        WriteErrorLine("the service manager cannot be opened: " + WinErrorText(GetLastError()));
        return 1;
    }
    int exit_code = 0;
    for (const ServiceRecord& record : records) {
        if (record.start != kServiceAutoStart) {
            continue;
        }
        ScHandle service = OpenService(manager, record.name, kServiceStart);
        const bool started = service != nullptr && StartService(service, {});
        const uint32_t error = started ? kErrorSuccess : GetLastError();
        if (service != nullptr) {
            CloseServiceHandle(service);
        }
        if (error != kErrorSuccess && error != kErrorServiceAlreadyRunning) {
            WriteErrorLine(
                Format("%s: %s (%u)", record.name.c_str(), WinErrorText(error).c_str(), error));
            exit_code = 1;
        }
    }
    CloseServiceHandle(manager);
    return exit_code;
}

}  // namespace

std::filesystem::path SupervisorProgram() {
    const char* tools = std::getenv(kToolsDirVariable);
    const std::filesystem::path folder = tools != nullptr && *tools != '\0'
                                             ? std::filesystem::path(tools)
                                             : RunningProgramPath().parent_path();
    return folder / "ruzd-svcrun";
}

std::string SupervisorResultLine(uint32_t result) {
    return std::string(kResultTag) + std::to_string(result) + "\n";
}

std::optional<uint32_t> ParseSupervisorResult(std::string_view output) {
    const size_t at = output.rfind(kResultTag);
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view rest = output.substr(at + kResultTag.size());
    const size_t end = rest.find('\n');
    if (end == std::string_view::npos || end == 0) {
        return std::nullopt;
    }
    uint32_t result = 0;
    for (const char c : rest.substr(0, end)) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        result = result * 10 + static_cast<uint32_t>(c - '0');
    }
    return result;
}

int RunServiceSupervisor(const std::vector<std::string>& arguments) {
    if (arguments.size() == 1 && arguments.front() == "boot") {
        return BootServices();
    }
    size_t first = 0;
    if (!arguments.empty() && arguments.front() == "--") {
        first = 1;
    }
    if (arguments.size() <= first) {
        WriteErrorLine("usage: ruzd-svcrun [--] <service name> [arguments...] | ruzd-svcrun boot");
        return 2;
    }
    Supervisor supervisor(arguments[first],
                          std::vector<std::string>(arguments.begin() + first + 1, arguments.end()));
    return supervisor.Run();
}

}  // namespace ruzd::platform
