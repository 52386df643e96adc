#pragma once

// The service control manager, shaped like Win32's calls: handles of the manager and of
// services, a service database in the registry (service_record.h), and controls that reach a
// running service through its control socket (service_control_channel.h). Two back-ends start
// and keep the services, chosen by RUZD_SERVICE_MANAGER ("local" or "systemd"; systemd when the
// machine was booted with it, else local):
// - local: the supervisor ruzd-svcrun (service_supervisor.h) starts the service's program,
//   restarts it or acts on its failure as its failure actions say;
// - systemd: each service is also the unit ruzd-<name>.service in RUZD_SYSTEMD_UNIT_DIR
//   (default /etc/systemd/system), rewritten and reloaded on every change (systemd_units.h);
//   RUZD_SYSTEMCTL names the systemctl program.
//
// Every call returns its result as Win32 does: a null handle or false with the thread's last
// error set. A handle allows what its open asked for (generic rights are mapped); a call that
// needs another right fails with kErrorAccessDenied, as does a change of the database by a
// process that may not write the registry. A machine name other than this machine's gives
// kErrorRpcServerUnavailable.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/service_types.h"

namespace ruzd::platform {

struct ScHandleData;
using ScHandle = ScHandleData*;
struct ScLockData;
using ScLock = ScLockData*;

inline constexpr const char* kServiceManagerVariable = "RUZD_SERVICE_MANAGER";

// The manager of `machine` ("" for this one) on the database "ServicesActive" ("" for it).
// Also creates the event logs' keys where they are missing.
ScHandle OpenSCManager(std::string_view machine, std::string_view database, uint32_t access);

// Adds a service (kErrorServiceExists when there is one of that name) and opens it. Only own
// processes (kServiceWin32OwnProcess) are services here. The account goes to "ObjectName" (empty:
// LocalSystem); the password is never kept. The systemd back-end refuses, here and in every
// change, a record whose units could not start: kErrorInvalidServiceAccount for an account this
// machine has no user for, kErrorFileNotFound for a program that is not there (said on stderr).
ScHandle CreateService(ScHandle manager, std::string_view name, std::string_view display_name,
                       uint32_t access, uint32_t service_type, uint32_t start_type,
                       uint32_t error_control, std::string_view binary_path,
                       std::string_view load_order_group, uint32_t* tag,
                       const std::vector<std::string>& dependencies, std::string_view account,
                       std::string_view password);
ScHandle OpenService(ScHandle manager, std::string_view name, uint32_t access);
bool CloseServiceHandle(ScHandle handle);

// Removes the service from the database; a running service runs on until it stops.
bool DeleteService(ScHandle service);

// Starts the service, its dependencies first (kErrorServiceDependencyFail when one fails).
// kErrorServiceAlreadyRunning, kErrorServiceDisabled, kErrorServiceDatabaseLocked while the
// database is locked, the error of a status that cannot be read (kErrorAccessDenied for another
// account's service, kErrorLockViolation when another process holds it locked), kErrorInvalidData
// for a record without a program or with failure actions of the wrong shape (nothing starts).
// The local back-end returns once the service's dispatcher runs: kErrorFileNotFound (or another
// start error) when its program cannot start, kErrorServiceRequestTimeout when no dispatcher runs
// within "ServicesPipeTimeout" (the process is then ended); what its supervisor said about a
// failure is passed on to standard error.
bool StartService(ScHandle service, const std::vector<std::string>& arguments);

// Sends a control (stop, pause, continue, interrogate, parameter change, the net-bind ones or a
// user-defined one; any other is kErrorInvalidParameter) and fills `status` with the service's
// status after it. kErrorServiceNotActive for a stopped service; the service's own refusal
// otherwise (service_dispatcher.h).
bool ControlService(ScHandle service, uint32_t control, ServiceStatus* status);

// The service's status: kErrorAccessDenied for another account's service, kErrorLockViolation
// when its status file stays locked (service_run_files.h).
bool QueryServiceStatus(ScHandle service, ServiceStatus* status);
bool QueryServiceStatusEx(ScHandle service, ServiceStatusProcess* status);

bool QueryServiceConfig(ScHandle service, ServiceConfig* config);
// kServiceNoChange, or an empty optional, leaves a value as it is.
bool ChangeServiceConfig(ScHandle service, uint32_t service_type, uint32_t start_type,
                         uint32_t error_control, const std::optional<std::string>& binary_path,
                         const std::optional<std::string>& load_order_group, uint32_t* tag,
                         const std::optional<std::vector<std::string>>& dependencies,
                         const std::optional<std::string>& account,
                         const std::optional<std::string>& password,
                         const std::optional<std::string>& display_name);
// Levels kServiceConfigDescription, kServiceConfigFailureActions and
// kServiceConfigDelayedAutoStartInfo; any other is kErrorInvalidLevel.
bool QueryServiceConfig2(ScHandle service, uint32_t level, ServiceConfig2* config);
bool ChangeServiceConfig2(ScHandle service, uint32_t level, const ServiceConfig2& config);

// The services of the given types and states, in the order of their names. The extended form
// also takes a load order group: none for every service, "" for those in no group.
bool EnumServicesStatus(ScHandle manager, uint32_t service_type, uint32_t service_state,
                        std::vector<EnumServiceStatus>* services);
bool EnumServicesStatusEx(ScHandle manager, uint32_t service_type, uint32_t service_state,
                          const std::optional<std::string>& group,
                          std::vector<EnumServiceStatusProcess>* services);
// The services that depend on this one, directly or through others.
bool EnumDependentServices(ScHandle service, uint32_t service_state,
                           std::vector<EnumServiceStatus>* services);

ScLock LockServiceDatabase(ScHandle manager);
bool UnlockServiceDatabase(ScLock lock);
bool QueryServiceLockStatus(ScHandle manager, LockStatus* status);

// The service's security descriptor, kept as opaque bytes.
bool QueryServiceObjectSecurity(ScHandle service, uint32_t information, std::string* descriptor);
bool SetServiceObjectSecurity(ScHandle service, uint32_t information, std::string_view descriptor);

}  // namespace ruzd::platform
