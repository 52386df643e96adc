#pragma once

// The service database: each installed service is the registry key
// HKLM\SYSTEM\CurrentControlSet\Services\<name>, with Windows' value names: "Type", "Start",
// "ErrorControl", "ImagePath", "DisplayName", "Group", "Tag", "DependOnService", "ObjectName",
// "Description", "DelayedAutostart", "FailureActions" (binary, 32-bit little-endian: reset
// period in seconds, count, then a type and a delay in milliseconds per action),
// "FailureCommand", "RebootMessage", "Environment" (NAME=value strings for the service's
// process), and the security descriptor as the value "Security" of the sub-key "Security".
// A key without "Type" is no service (the event logs' key lies beside the services).
//
// Every read takes one snapshot of the store and every change is one change of the store, so a
// record is never seen half written.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/service_types.h"

namespace ruzd::platform {

struct ServiceRecord {
    std::string name;  // as the key is spelled
    uint32_t type = kServiceWin32OwnProcess;
    uint32_t start = kServiceDemandStart;
    uint32_t error_control = kServiceErrorNormal;
    std::string image_path;
    std::string display_name;
    std::string group;
    uint32_t tag = 0;
    std::vector<std::string> dependencies;
    std::string object_name;
    std::string description;
    bool delayed_autostart = false;
    // The raw "FailureActions" value; none when it is not set.
    std::optional<std::string> failure_actions;
    std::string failure_command;
    std::string reboot_message;
    std::vector<std::string> environment;
    std::string security;
    // A value of the record has the wrong type or shape: the service cannot be started.
    bool malformed = false;
};

// The "FailureActions" bytes of a reset period and a list of actions, and back; none for bytes
// of the wrong length (not 8 + 8 per action as the count says).
std::string EncodeFailureActions(uint32_t reset_period_s, const std::vector<ScAction>& actions);
struct DecodedFailureActions {
    uint32_t reset_period_s = 0;
    std::vector<ScAction> actions;
};
std::optional<DecodedFailureActions> DecodeFailureActions(std::string_view bytes);
// The record's failure actions; none (and no reset period) when it has none or they do not read.
DecodedFailureActions FailureActionsOf(const ServiceRecord& record);

// Whether the service can be started from its record: it names a program and its failure
// actions (when set) have the right shape. 0, or kErrorInvalidData.
uint32_t CheckRecordForStart(const ServiceRecord& record);

// 0, or kErrorInvalidName for a name the database cannot hold: empty, longer than 256
// characters, holding '/' or '\', or one whose files in the run folder would be too long.
uint32_t CheckServiceName(std::string_view name);

// The program of a command line as the host names it: one in Windows form ("C:\...") is mapped
// (win_path.h); a host path or a bare name, looked for on PATH, stays as it is.
std::string HostProgramPath(const std::string& program);

// The words of a service's command line ("ImagePath", "FailureCommand"), its program as the host
// names it. A line that does not start with a quote is read as Windows reads it: its program is
// the longest part of the line, up to a blank, that names an existing program file (so
// C:\Program Files\App\app.exe -x runs app.exe, never C:\Program); with none, it is the first
// word. Empty for an empty line.
std::vector<std::string> ServiceCommandWords(const std::string& command_line);
// Whether the program of those words is there to run: a bare name (looked for on PATH when it
// runs) always is, a path when it names an executable file.
bool ServiceProgramExists(const std::string& program);

// The Windows accounts that stand for a user of this machine the registry names: the value
// "<account>User" of HKLM\SYSTEM\CurrentControlSet\Control ("LocalServiceUser",
// "NetworkServiceUser"), kDefaultServiceAccountUser when it is not set.
inline constexpr const char* kDefaultServiceAccountUser = "ruzd-service";
// The user a service's "ObjectName" stands for: empty for the system's own account (none,
// LocalSystem, NT AUTHORITY\SYSTEM: root); the registry's user for LocalService and
// NetworkService (alone, after ".\" or "NT AUTHORITY\"); else the user it names ("user",
// ".\user" or "DOMAIN\user").
std::string ServiceAccountUser(const ServiceRecord& record);
// For an "ObjectName" that is one of those Windows accounts: where its user is named, as
// "\"LocalServiceUser\" under HKLM\SYSTEM\CurrentControlSet\Control"; else empty.
std::string ServiceAccountSetting(const ServiceRecord& record);

// Reads one service: 0, kErrorServiceDoesNotExist, or the store's error.
uint32_t ReadServiceRecord(std::string_view name, ServiceRecord* record);
// Reads every service, in the order of their names.
uint32_t ReadAllServiceRecords(std::vector<ServiceRecord>* records);

// Adds a service: kErrorServiceExists when one of that name exists, kErrorDuplicateServiceName
// when its display name is another service's name or display name.
uint32_t CreateServiceRecord(const ServiceRecord& record);
// Reads the record, lets `change` change it (its result, when not 0, is returned and nothing
// is written) and writes it back, keeping the key's other values and sub-keys.
uint32_t ChangeServiceRecord(std::string_view name,
                             const std::function<uint32_t(ServiceRecord&)>& change);
// Removes the service's key with everything under it: 0 or kErrorServiceDoesNotExist.
uint32_t DeleteServiceRecord(std::string_view name);

// A DWORD or a string of HKLM\SYSTEM\CurrentControlSet\Control, `fallback` when it is
// missing or of another type.
uint32_t ReadControlDword(std::string_view name, uint32_t fallback);
std::string ReadControlText(std::string_view name, const std::string& fallback);
// How long a started service's process has to reach its dispatcher ("ServicesPipeTimeout").
uint32_t ServicesPipeTimeoutMs();

// Creates the event logs' keys Services\EventLog\Application, System and Security, each with an
// empty "Sources", where they are missing; 0 when they stand (or this process may not write).
uint32_t EnsureEventLogKeys();

}  // namespace ruzd::platform
