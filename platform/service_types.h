#pragma once

// The numbers and records of the Windows service control manager, as the service manager of
// this platform (service_manager.h) and the service side (service_dispatcher.h) speak them.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ruzd::platform {

// Service types.
inline constexpr uint32_t kServiceKernelDriver = 0x1;
inline constexpr uint32_t kServiceFileSystemDriver = 0x2;
inline constexpr uint32_t kServiceWin32OwnProcess = 0x10;
inline constexpr uint32_t kServiceWin32ShareProcess = 0x20;
inline constexpr uint32_t kServiceInteractiveProcess = 0x100;
inline constexpr uint32_t kServiceWin32 = 0x30;
inline constexpr uint32_t kServiceDriver = 0xB;

// Start types.
inline constexpr uint32_t kServiceBootStart = 0;
inline constexpr uint32_t kServiceSystemStart = 1;
inline constexpr uint32_t kServiceAutoStart = 2;
inline constexpr uint32_t kServiceDemandStart = 3;
inline constexpr uint32_t kServiceDisabled = 4;

// Error control.
inline constexpr uint32_t kServiceErrorIgnore = 0;
inline constexpr uint32_t kServiceErrorNormal = 1;

// A configuration value that a change leaves as it is.
inline constexpr uint32_t kServiceNoChange = 0xFFFFFFFF;

// States.
inline constexpr uint32_t kServiceStopped = 1;
inline constexpr uint32_t kServiceStartPending = 2;
inline constexpr uint32_t kServiceStopPending = 3;
inline constexpr uint32_t kServiceRunning = 4;
inline constexpr uint32_t kServiceContinuePending = 5;
inline constexpr uint32_t kServicePausePending = 6;
inline constexpr uint32_t kServicePaused = 7;

// Whether a state is one of the four pending ones, in which a service takes no control.
bool IsPendingServiceState(uint32_t state);

// The states a listing asks for.
inline constexpr uint32_t kServiceActive = 1;
inline constexpr uint32_t kServiceInactive = 2;
inline constexpr uint32_t kServiceStateAll = 3;

// Controls.
inline constexpr uint32_t kServiceControlStop = 1;
inline constexpr uint32_t kServiceControlPause = 2;
inline constexpr uint32_t kServiceControlContinue = 3;
inline constexpr uint32_t kServiceControlInterrogate = 4;
inline constexpr uint32_t kServiceControlShutdown = 5;
inline constexpr uint32_t kServiceControlParamChange = 6;
inline constexpr uint32_t kServiceControlNetBindAdd = 7;
inline constexpr uint32_t kServiceControlNetBindRemove = 8;
inline constexpr uint32_t kServiceControlNetBindEnable = 9;
inline constexpr uint32_t kServiceControlNetBindDisable = 10;
inline constexpr uint32_t kServiceControlDeviceEvent = 11;
inline constexpr uint32_t kServiceControlHardwareProfileChange = 12;
inline constexpr uint32_t kServiceControlPowerEvent = 13;
inline constexpr uint32_t kServiceControlSessionChange = 14;
inline constexpr uint32_t kServiceControlPreshutdown = 15;
inline constexpr uint32_t kServiceControlTimeChange = 16;
inline constexpr uint32_t kServiceControlFirstUserDefined = 128;
inline constexpr uint32_t kServiceControlLastUserDefined = 255;

// Controls accepted.
inline constexpr uint32_t kServiceAcceptStop = 0x1;
inline constexpr uint32_t kServiceAcceptPauseContinue = 0x2;
inline constexpr uint32_t kServiceAcceptShutdown = 0x4;
inline constexpr uint32_t kServiceAcceptParamChange = 0x8;
inline constexpr uint32_t kServiceAcceptNetBindChange = 0x10;
inline constexpr uint32_t kServiceAcceptHardwareProfileChange = 0x20;
inline constexpr uint32_t kServiceAcceptPowerEvent = 0x40;
inline constexpr uint32_t kServiceAcceptSessionChange = 0x80;
inline constexpr uint32_t kServiceAcceptPreshutdown = 0x100;
inline constexpr uint32_t kServiceAcceptTimeChange = 0x200;

// The accepted-controls bit a control needs; 0 for one that every running service takes
// (interrogate and the user-defined ones), none for one no service takes.
std::optional<uint32_t> AcceptBitForControl(uint32_t control);

// Rights on the service control manager.
inline constexpr uint32_t kScManagerConnect = 0x1;
inline constexpr uint32_t kScManagerCreateService = 0x2;
inline constexpr uint32_t kScManagerEnumerateService = 0x4;
inline constexpr uint32_t kScManagerLock = 0x8;
inline constexpr uint32_t kScManagerQueryLockStatus = 0x10;
inline constexpr uint32_t kScManagerModifyBootConfig = 0x20;
inline constexpr uint32_t kScManagerAllAccess = 0xF003F;

// Rights on a service.
inline constexpr uint32_t kServiceQueryConfig = 0x1;
inline constexpr uint32_t kServiceChangeConfig = 0x2;
inline constexpr uint32_t kServiceQueryStatus = 0x4;
inline constexpr uint32_t kServiceEnumerateDependents = 0x8;
inline constexpr uint32_t kServiceStart = 0x10;
inline constexpr uint32_t kServiceStop = 0x20;
inline constexpr uint32_t kServicePauseContinue = 0x40;
inline constexpr uint32_t kServiceInterrogate = 0x80;
inline constexpr uint32_t kServiceUserDefinedControl = 0x100;
inline constexpr uint32_t kDelete = 0x10000;
inline constexpr uint32_t kReadControl = 0x20000;
inline constexpr uint32_t kWriteDac = 0x40000;
inline constexpr uint32_t kWriteOwner = 0x80000;
inline constexpr uint32_t kServiceAllAccess = 0xF01FF;

// Generic rights, which a handle's open maps onto the rights above.
inline constexpr uint32_t kGenericRead = 0x80000000;
inline constexpr uint32_t kGenericWrite = 0x40000000;
inline constexpr uint32_t kGenericExecute = 0x20000000;
inline constexpr uint32_t kGenericAll = 0x10000000;

// Failure actions.
inline constexpr uint32_t kScActionNone = 0;
inline constexpr uint32_t kScActionRestart = 1;
inline constexpr uint32_t kScActionReboot = 2;
inline constexpr uint32_t kScActionRunCommand = 3;

// A failure-action reset period that never resets the count.
inline constexpr uint32_t kResetPeriodInfinite = 0xFFFFFFFF;

// Levels of the second configuration call.
inline constexpr uint32_t kServiceConfigDescription = 1;
inline constexpr uint32_t kServiceConfigFailureActions = 2;
inline constexpr uint32_t kServiceConfigDelayedAutoStartInfo = 3;

struct ServiceStatus {
    uint32_t service_type = 0;
    uint32_t current_state = 0;
    uint32_t controls_accepted = 0;
    uint32_t win32_exit_code = 0;
    uint32_t service_specific_exit_code = 0;
    uint32_t check_point = 0;
    uint32_t wait_hint = 0;

    bool operator==(const ServiceStatus&) const = default;
};

// The status with the process that runs the service (0 while none does).
struct ServiceStatusProcess {
    ServiceStatus status;
    uint32_t process_id = 0;
    uint32_t service_flags = 0;
};

struct ServiceConfig {
    uint32_t service_type = 0;
    uint32_t start_type = 0;
    uint32_t error_control = 0;
    std::string binary_path_name;
    std::string load_order_group;
    uint32_t tag_id = 0;
    std::vector<std::string> dependencies;
    std::string service_start_name;
    std::string display_name;
};

struct ScAction {
    uint32_t type = kScActionNone;
    uint32_t delay_ms = 0;

    bool operator==(const ScAction&) const = default;
};

// What a service manager does when the service's process ends without having reported stopped.
// In a change, a field left empty stays as it is (an empty text removes the message or command);
// the reset period is taken only together with the actions. A query fills every field.
struct FailureActions {
    uint32_t reset_period_s = 0;
    std::optional<std::string> reboot_message;
    std::optional<std::string> command;
    std::optional<std::vector<ScAction>> actions;
};

// One service's configuration as the second configuration call sets and reads it, by level.
struct ServiceConfig2 {
    std::optional<std::string> description;  // level 1; empty removes it
    FailureActions failure_actions;          // level 2
    bool delayed_auto_start = false;         // level 3
};

struct EnumServiceStatus {
    std::string service_name;
    std::string display_name;
    ServiceStatus status;
};

struct EnumServiceStatusProcess {
    std::string service_name;
    std::string display_name;
    ServiceStatusProcess status;
};

struct LockStatus {
    bool is_locked = false;
    std::string lock_owner;
    uint32_t lock_duration_s = 0;
};

}  // namespace ruzd::platform
