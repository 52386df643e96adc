#include "platform/service_manager.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <set>

#include "platform/computer_name.h"
#include "platform/live_handles.h"
#include "platform/registry_store.h"
#include "platform/service_backend.h"
#include "platform/service_control_channel.h"
#include "platform/service_database_lock.h"
#include "platform/service_record.h"
#include "platform/service_run_files.h"
#include "platform/text.h"
#include "platform/win_error.h"

namespace ruzd::platform {

struct ScHandleData {
    bool manager = false;
    uint32_t access = 0;
    std::string name;  // the service's, as its key is spelled
};

struct ScLockData {
    std::unique_ptr<ServiceDatabaseLock> lock;
};

namespace {

constexpr uint32_t kMaximumAllowed = 0x02000000;

LiveHandles& Handles() {
    static LiveHandles* handles = new LiveHandles;
    return *handles;
}

uint32_t MapManagerRights(uint32_t access) {
    if ((access & (kGenericAll | kMaximumAllowed)) != 0) {
        access |= kScManagerAllAccess;
    }
    if ((access & kGenericRead) != 0) {
        access |= kScManagerConnect | kScManagerEnumerateService | kScManagerQueryLockStatus |
                  kReadControl;
    }
    if ((access & kGenericWrite) != 0) {
        access |= kScManagerCreateService | kScManagerModifyBootConfig;
    }
    if ((access & kGenericExecute) != 0) {
        access |= kScManagerConnect | kScManagerLock;
    }
    return access | kScManagerConnect;
}

uint32_t MapServiceRights(uint32_t access) {
    if ((access & (kGenericAll | kMaximumAllowed)) != 0) {
        access |= kServiceAllAccess;
    }
    if ((access & kGenericRead) != 0) {
        access |= kServiceQueryConfig | kServiceQueryStatus | kServiceInterrogate |
                  kServiceEnumerateDependents | kReadControl;
    }
    if ((access & kGenericWrite) != 0) {
        access |= kServiceChangeConfig;
    }
    if ((access & kGenericExecute) != 0) {
        access |= kServiceStart | kServiceStop | kServicePauseContinue | kServiceUserDefinedControl;
    }
    return access;
}

// The rights that change the database, which a process that may not write the registry lacks.
constexpr uint32_t kManagerWriteRights =
    kScManagerCreateService | kScManagerLock | kScManagerModifyBootConfig;
constexpr uint32_t kServiceWriteRights = kServiceChangeConfig | kDelete | kWriteDac | kWriteOwner;

// The handle when it is a live one of the kind asked for and allows `right`; else null with the
// last error set.
ScHandleData* HandleOf(ScHandle handle, bool manager, uint32_t right) {
    if (handle == nullptr || !Handles().Contains(handle) || handle->manager != manager) {
        SetLastError(kErrorInvalidHandle);
        return nullptr;
    }
    if ((handle->access & right) != right) {
        SetLastError(kErrorAccessDenied);
        return nullptr;
    }
    return handle;
}

ScHandleData* Manager(ScHandle handle, uint32_t right) {
    return HandleOf(handle, true, right);
}

ScHandleData* Service(ScHandle handle, uint32_t right) {
    return HandleOf(handle, false, right);
}

ScHandle NewHandle(bool manager, uint32_t access, std::string name) {
    auto* handle = new ScHandleData{manager, access, std::move(name)};
    Handles().Add(handle);
    return handle;
}

// A deleted service's handle stays open; calls on it find the service marked for deletion.
uint32_t ReadRecordOf(const ScHandleData& service, ServiceRecord* record) {
    const uint32_t error = ReadServiceRecord(service.name, record);
    return error == kErrorServiceDoesNotExist ? kErrorServiceMarkedForDelete : error;
}

// The record of the service a handle with `right` names; false with the last error set.
bool ReadRecordThrough(ScHandle handle, uint32_t right, ServiceRecord* record) {
    const ScHandleData* service = Service(handle, right);
    if (service == nullptr) {
        return false;
    }
    const uint32_t error = ReadRecordOf(*service, record);
    return error == kErrorSuccess || FailWithError(error);
}

bool IsActive(const ServiceStatus& status) {
    return status.current_state != kServiceStopped;
}

bool MatchesState(const ServiceStatus& status, uint32_t state) {
    return state == kServiceStateAll || (state == kServiceActive && IsActive(status)) ||
           (state == kServiceInactive && !IsActive(status));
}

uint32_t StartWithDependencies(ServiceBackend& backend, const std::string& name,
                               const std::vector<std::string>& arguments,
                               std::set<std::string>& starting, bool dependency) {
    const auto dependency_failed = [dependency](uint32_t error) {
        return dependency ? kErrorServiceDependencyFail : error;
    };
    ServiceRecord record;
    if (const uint32_t error = ReadServiceRecord(name, &record); error != kErrorSuccess) {
        return dependency_failed(error);
    }
    // A status that cannot be read (another account's, or held locked) starts nothing: the
    // service may well run.
    ServiceStatusProcess current;
    if (const uint32_t error = QueryCurrentServiceStatus(record.name, &current);
        error != kErrorSuccess) {
        return dependency_failed(error);
    }
    if (IsActive(current.status)) {
        return dependency ? kErrorSuccess : kErrorServiceAlreadyRunning;
    }
    if (record.start == kServiceDisabled) {
        return dependency_failed(kErrorServiceDisabled);
    }
    if (const uint32_t error = CheckRecordForStart(record); error != kErrorSuccess) {
        return dependency_failed(error);
    }
    // `starting` holds the services on the way down to this one: meeting one again is a circle.
    const std::string key = AsciiUpper(record.name);
    if (!starting.insert(key).second) {
        return kErrorServiceDependencyFail;
    }
    for (const std::string& needed : record.dependencies) {
        if (StartWithDependencies(backend, needed, {}, starting, true) != kErrorSuccess) {
            starting.erase(key);
            return kErrorServiceDependencyFail;
        }
    }
    starting.erase(key);
    return dependency_failed(backend.Start(record, arguments));
}

ServiceConfig ConfigOf(const ServiceRecord& record) {
    ServiceConfig config;
    config.service_type = record.type;
    config.start_type = record.start;
    config.error_control = record.error_control;
    config.binary_path_name = record.image_path;
    config.load_order_group = record.group;
    config.tag_id = record.tag;
    config.dependencies = record.dependencies;
    config.service_start_name =
        record.object_name.empty() ? std::string("LocalSystem") : record.object_name;
    config.display_name = record.display_name.empty() ? record.name : record.display_name;
    return config;
}

bool ValidType(uint32_t type) {
    return (type & ~kServiceInteractiveProcess) == kServiceWin32OwnProcess;
}

bool ValidStart(uint32_t start) {
    return start >= kServiceAutoStart && start <= kServiceDisabled;
}

bool ValidErrorControl(uint32_t error_control) {
    return error_control <= 3;
}

// Applies a change of the record and tells the back-end; a change the back-end refuses (a
// systemd unit that could not start) is taken back, so that the record stays as it was.
bool ChangeRecord(const ScHandleData& service,
                  const std::function<uint32_t(ServiceRecord&)>& change) {
    ServiceRecord before;
    ServiceRecord changed;
    uint32_t error = ChangeServiceRecord(service.name, [&](ServiceRecord& record) -> uint32_t {
        before = record;
        const uint32_t result = change(record);
        changed = record;
        return result;
    });
    if (error == kErrorServiceDoesNotExist) {
        error = kErrorServiceMarkedForDelete;
    }
    if (error == kErrorSuccess) {
        error = SelectServiceBackend()->RecordChanged(changed.name, &changed);
        if (error != kErrorSuccess) {
            ChangeServiceRecord(service.name, [&before](ServiceRecord& record) -> uint32_t {
                record = before;
                return kErrorSuccess;
            });
        }
    }
    return error == kErrorSuccess || FailWithError(error);
}

std::vector<EnumServiceStatus> Dependents(const std::string& name, uint32_t state) {
    std::vector<ServiceRecord> records;
    ReadAllServiceRecords(&records);
    std::vector<EnumServiceStatus> found;
    std::set<std::string> seen{AsciiUpper(name)};
    std::vector<std::string> pending{name};
    while (!pending.empty()) {
        const std::string current = pending.back();
        pending.pop_back();
        for (const ServiceRecord& record : records) {
            const bool depends = std::any_of(
                record.dependencies.begin(), record.dependencies.end(),
                [&](const std::string& needed) { return EqualsIgnoreCase(needed, current); });
            if (!depends || !seen.insert(AsciiUpper(record.name)).second) {
                continue;
            }
            pending.push_back(record.name);
            const ServiceStatus status = CurrentServiceStatus(record.name).status;
            if (MatchesState(status, state)) {
                found.push_back(
                    EnumServiceStatus{record.name, ConfigOf(record).display_name, status});
            }
        }
    }
    return found;
}

}  // namespace

ScHandle OpenSCManager(std::string_view machine, std::string_view database, uint32_t access) {
    if (!IsLocalMachineName(machine)) {
        SetLastError(kErrorRpcServerUnavailable);
        return nullptr;
    }
    if (!database.empty() && !EqualsIgnoreCase(database, "ServicesActive")) {
        SetLastError(kErrorDatabaseDoesNotExist);
        return nullptr;
    }
    const uint32_t rights = MapManagerRights(access);
    if ((rights & kManagerWriteRights) != 0 && !RegistryStore::CanWrite()) {
        SetLastError(kErrorAccessDenied);
        return nullptr;
    }
    if (const uint32_t error = EnsureEventLogKeys(); error != kErrorSuccess) {
        SetLastError(error);
        return nullptr;
    }
    return NewHandle(true, rights, std::string());
}

ScHandle CreateService(ScHandle manager, std::string_view name, std::string_view display_name,
                       uint32_t access, uint32_t service_type, uint32_t start_type,
                       uint32_t error_control, std::string_view binary_path,
                       std::string_view load_order_group, uint32_t* tag,
                       const std::vector<std::string>& dependencies, std::string_view account,
                       std::string_view password) {
    (void)password;  // the account's password is never kept
    if (Manager(manager, kScManagerCreateService) == nullptr) {
        return nullptr;
    }
    if (const uint32_t error = CheckServiceName(name); error != kErrorSuccess) {
        SetLastError(error);
        return nullptr;
    }
    if (!ValidType(service_type) || !ValidStart(start_type) || !ValidErrorControl(error_control) ||
        binary_path.empty() || (tag != nullptr && load_order_group.empty())) {
        SetLastError(kErrorInvalidParameter);
        return nullptr;
    }
    ServiceRecord record;
    record.name = std::string(name);
    record.type = service_type;
    record.start = start_type;
    record.error_control = error_control;
    record.image_path = std::string(binary_path);
    record.display_name = display_name.empty() ? std::string(name) : std::string(display_name);
    record.group = std::string(load_order_group);
    record.dependencies = dependencies;
    record.object_name = account.empty() ? std::string("LocalSystem") : std::string(account);
    if (const uint32_t error = CreateServiceRecord(record); error != kErrorSuccess) {
        SetLastError(error);
        return nullptr;
    }
    if (const uint32_t error = SelectServiceBackend()->RecordChanged(record.name, &record);
        error != kErrorSuccess) {
        DeleteServiceRecord(record.name);
        SelectServiceBackend()->RecordChanged(record.name, nullptr);
        SetLastError(error);
        return nullptr;
    }
    if (tag != nullptr) {
        *tag = 0;
    }
    return NewHandle(false, MapServiceRights(access), record.name);
}

ScHandle OpenService(ScHandle manager, std::string_view name, uint32_t access) {
    if (Manager(manager, kScManagerConnect) == nullptr) {
        return nullptr;
    }
    if (const uint32_t error = CheckServiceName(name); error != kErrorSuccess) {
        SetLastError(error);
        return nullptr;
    }
    ServiceRecord record;
    if (const uint32_t error = ReadServiceRecord(name, &record); error != kErrorSuccess) {
        SetLastError(error);
        return nullptr;
    }
    const uint32_t rights = MapServiceRights(access);
    if ((rights & kServiceWriteRights) != 0 && !RegistryStore::CanWrite()) {
        SetLastError(kErrorAccessDenied);
        return nullptr;
    }
    return NewHandle(false, rights, record.name);
}

bool CloseServiceHandle(ScHandle handle) {
    if (handle == nullptr || !Handles().Remove(handle)) {
        return FailWithError(kErrorInvalidHandle);
    }
    delete handle;
    return true;
}

bool DeleteService(ScHandle handle) {
    const ScHandleData* service = Service(handle, kDelete);
    if (service == nullptr) {
        return false;
    }
    uint32_t error = DeleteServiceRecord(service->name);
    if (error == kErrorServiceDoesNotExist) {
        error = kErrorServiceMarkedForDelete;
    }
    if (error == kErrorSuccess) {
        error = SelectServiceBackend()->RecordChanged(service->name, nullptr);
    }
    return error == kErrorSuccess || FailWithError(error);
}

bool StartService(ScHandle handle, const std::vector<std::string>& arguments) {
    if (Service(handle, kServiceStart) == nullptr) {
        return false;
    }
    if (ServiceDatabaseLock::Status().is_locked) {
        return FailWithError(kErrorServiceDatabaseLocked);
    }
    ServiceRecord record;
    if (!ReadRecordThrough(handle, kServiceStart, &record)) {
        return false;
    }
    const std::unique_ptr<ServiceBackend> backend = SelectServiceBackend();
    std::set<std::string> starting;
    const uint32_t error = StartWithDependencies(*backend, record.name, arguments, starting, false);
    return error == kErrorSuccess || FailWithError(error);
}

bool ControlService(ScHandle handle, uint32_t control, ServiceStatus* status) {
    uint32_t right = 0;
    if (control == kServiceControlStop) {
        right = kServiceStop;
    } else if (control == kServiceControlInterrogate) {
        right = kServiceInterrogate;
    } else if (control == kServiceControlPause || control == kServiceControlContinue ||
               (control >= kServiceControlParamChange &&
                control <= kServiceControlNetBindDisable)) {
        right = kServicePauseContinue;
    } else if (control >= kServiceControlFirstUserDefined &&
               control <= kServiceControlLastUserDefined) {
        right = kServiceUserDefinedControl;
    } else {
        return FailWithError(kErrorInvalidParameter);
    }
    const ScHandleData* service = Service(handle, right);
    if (service == nullptr) {
        return false;
    }
    if (status == nullptr) {
        return FailWithError(kErrorInvalidParameter);
    }
    ServiceStatusProcess current;
    if (const uint32_t error = QueryCurrentServiceStatus(service->name, &current);
        error != kErrorSuccess) {
        return FailWithError(error);
    }
    *status = current.status;
    if (!IsActive(*status)) {
        return FailWithError(kErrorServiceNotActive);
    }
    ServiceControlReply reply;
    const uint32_t error =
        ExchangeServiceControl(service->name, control, 0, ServicesPipeTimeoutMs(), &reply);
    if (error != kErrorSuccess) {
        *status = CurrentServiceStatus(service->name).status;
        return FailWithError(error);
    }
    *status = reply.status;
    return reply.result == kErrorSuccess || FailWithError(reply.result);
}

bool QueryServiceStatus(ScHandle handle, ServiceStatus* status) {
    ServiceStatusProcess full;
    if (!QueryServiceStatusEx(handle, &full)) {
        return false;
    }
    *status = full.status;
    return true;
}

bool QueryServiceStatusEx(ScHandle handle, ServiceStatusProcess* status) {
    const ScHandleData* service = Service(handle, kServiceQueryStatus);
    if (service == nullptr) {
        return false;
    }
    if (status == nullptr) {
        return FailWithError(kErrorInvalidParameter);
    }
    const uint32_t error = QueryCurrentServiceStatus(service->name, status);
    return error == kErrorSuccess || FailWithError(error);
}

bool QueryServiceConfig(ScHandle handle, ServiceConfig* config) {
    ServiceRecord record;
    if (!ReadRecordThrough(handle, kServiceQueryConfig, &record)) {
        return false;
    }
    *config = ConfigOf(record);
    return true;
}

bool ChangeServiceConfig(ScHandle handle, uint32_t service_type, uint32_t start_type,
                         uint32_t error_control, const std::optional<std::string>& binary_path,
                         const std::optional<std::string>& load_order_group, uint32_t* tag,
                         const std::optional<std::vector<std::string>>& dependencies,
                         const std::optional<std::string>& account,
                         const std::optional<std::string>& password,
                         const std::optional<std::string>& display_name) {
    (void)password;
    const ScHandleData* service = Service(handle, kServiceChangeConfig);
    if (service == nullptr) {
        return false;
    }
    if ((service_type != kServiceNoChange && !ValidType(service_type)) ||
        (start_type != kServiceNoChange && !ValidStart(start_type)) ||
        (error_control != kServiceNoChange && !ValidErrorControl(error_control)) ||
        (binary_path && binary_path->empty())) {
        return FailWithError(kErrorInvalidParameter);
    }
    const bool changed = ChangeRecord(*service, [&](ServiceRecord& record) -> uint32_t {
        if (service_type != kServiceNoChange) {
            record.type = service_type;
        }
        if (start_type != kServiceNoChange) {
            record.start = start_type;
        }
        if (error_control != kServiceNoChange) {
            record.error_control = error_control;
        }
        if (binary_path) {
            record.image_path = *binary_path;
        }
        if (load_order_group) {
            record.group = *load_order_group;
        }
        if (tag != nullptr && record.group.empty()) {
            return kErrorInvalidParameter;
        }
        if (dependencies) {
            record.dependencies = *dependencies;
        }
        if (account) {
            record.object_name = account->empty() ? std::string("LocalSystem") : *account;
        }
        if (display_name) {
            record.display_name = *display_name;
        }
        return kErrorSuccess;
    });
    if (changed && tag != nullptr) {
        *tag = 0;
    }
    return changed;
}

bool QueryServiceConfig2(ScHandle handle, uint32_t level, ServiceConfig2* config) {
    if (Service(handle, kServiceQueryConfig) == nullptr) {
        return false;
    }
    if (level < kServiceConfigDescription || level > kServiceConfigDelayedAutoStartInfo) {
        return FailWithError(kErrorInvalidLevel);
    }
    ServiceRecord record;
    if (!ReadRecordThrough(handle, kServiceQueryConfig, &record)) {
        return false;
    }
    *config = ServiceConfig2{};
    if (level == kServiceConfigDescription) {
        config->description = record.description;
    } else if (level == kServiceConfigFailureActions) {
        const std::optional<DecodedFailureActions> decoded =
            DecodeFailureActions(record.failure_actions.value_or(EncodeFailureActions(0, {})));
        if (!decoded) {
            return FailWithError(kErrorInvalidData);
        }
        config->failure_actions.reset_period_s = decoded->reset_period_s;
        config->failure_actions.actions = decoded->actions;
        config->failure_actions.reboot_message = record.reboot_message;
        config->failure_actions.command = record.failure_command;
    } else {
        config->delayed_auto_start = record.delayed_autostart;
    }
    return true;
}

bool ChangeServiceConfig2(ScHandle handle, uint32_t level, const ServiceConfig2& config) {
    const ScHandleData* service = Service(handle, kServiceChangeConfig);
    if (service == nullptr) {
        return false;
    }
    if (level < kServiceConfigDescription || level > kServiceConfigDelayedAutoStartInfo) {
        return FailWithError(kErrorInvalidLevel);
    }
    if (level == kServiceConfigFailureActions && config.failure_actions.actions) {
        for (const ScAction& action : *config.failure_actions.actions) {
            if (action.type > kScActionRunCommand) {
                return FailWithError(kErrorInvalidParameter);
            }
        }
    }
    return ChangeRecord(*service, [&](ServiceRecord& record) -> uint32_t {
        if (level == kServiceConfigDescription) {
            if (config.description) {
                record.description = *config.description;
            }
        } else if (level == kServiceConfigFailureActions) {
            const FailureActions& actions = config.failure_actions;
            if (actions.actions) {
                if (actions.actions->empty()) {
                    record.failure_actions.reset();
                } else {
                    record.failure_actions =
                        EncodeFailureActions(actions.reset_period_s, *actions.actions);
                }
            }
            if (actions.reboot_message) {
                record.reboot_message = *actions.reboot_message;
            }
            if (actions.command) {
                record.failure_command = *actions.command;
            }
        } else {
            record.delayed_autostart = config.delayed_auto_start;
        }
        return kErrorSuccess;
    });
}

bool EnumServicesStatus(ScHandle manager, uint32_t service_type, uint32_t service_state,
                        std::vector<EnumServiceStatus>* services) {
    std::vector<EnumServiceStatusProcess> full;
    if (!EnumServicesStatusEx(manager, service_type, service_state, std::nullopt, &full)) {
        return false;
    }
    services->clear();
    for (EnumServiceStatusProcess& entry : full) {
        services->push_back(EnumServiceStatus{std::move(entry.service_name),
                                              std::move(entry.display_name), entry.status.status});
    }
    return true;
}

bool EnumServicesStatusEx(ScHandle manager, uint32_t service_type, uint32_t service_state,
                          const std::optional<std::string>& group,
                          std::vector<EnumServiceStatusProcess>* services) {
    if (Manager(manager, kScManagerEnumerateService) == nullptr) {
        return false;
    }
    if (services == nullptr || service_state < kServiceActive || service_state > kServiceStateAll ||
        (service_type & (kServiceWin32 | kServiceDriver)) == 0) {
        return FailWithError(kErrorInvalidParameter);
    }
    std::vector<ServiceRecord> records;
    if (const uint32_t error = ReadAllServiceRecords(&records); error != kErrorSuccess) {
        return FailWithError(error);
    }
    services->clear();
    for (const ServiceRecord& record : records) {
        if ((record.type & service_type) == 0 ||
            (group && !EqualsIgnoreCase(record.group, *group))) {
            continue;
        }
        const ServiceStatusProcess status = CurrentServiceStatus(record.name);
        if (MatchesState(status.status, service_state)) {
            services->push_back(
                EnumServiceStatusProcess{record.name, ConfigOf(record).display_name, status});
        }
    }
    return true;
}

bool EnumDependentServices(ScHandle handle, uint32_t service_state,
                           std::vector<EnumServiceStatus>* services) {
    const ScHandleData* service = Service(handle, kServiceEnumerateDependents);
    if (service == nullptr) {
        return false;
    }
    if (services == nullptr || service_state < kServiceActive || service_state > kServiceStateAll) {
        return FailWithError(kErrorInvalidParameter);
    }
    *services = Dependents(service->name, service_state);
    return true;
}

ScLock LockServiceDatabase(ScHandle manager) {
    if (Manager(manager, kScManagerLock) == nullptr) {
        return nullptr;
    }
    std::unique_ptr<ServiceDatabaseLock> lock = ServiceDatabaseLock::Acquire();
    if (!lock) {
        return nullptr;
    }
    auto* handle = new ScLockData{std::move(lock)};
    Handles().Add(handle);
    return handle;
}

bool UnlockServiceDatabase(ScLock lock) {
    if (lock == nullptr || !Handles().Remove(lock)) {
        return FailWithError(kErrorInvalidServiceLock);
    }
    delete lock;
    return true;
}

bool QueryServiceLockStatus(ScHandle manager, LockStatus* status) {
    if (Manager(manager, kScManagerQueryLockStatus) == nullptr) {
        return false;
    }
    *status = ServiceDatabaseLock::Status();
    return true;
}

bool QueryServiceObjectSecurity(ScHandle handle, uint32_t information, std::string* descriptor) {
    (void)information;  // the descriptor is kept whole
    ServiceRecord record;
    if (!ReadRecordThrough(handle, kReadControl, &record)) {
        return false;
    }
    *descriptor = record.security;
    return true;
}

bool SetServiceObjectSecurity(ScHandle handle, uint32_t information, std::string_view descriptor) {
    (void)information;
    const ScHandleData* service = Service(handle, kWriteDac);
    if (service == nullptr) {
        return false;
    }
    if (descriptor.empty()) {
        return FailWithError(kErrorInvalidParameter);
    }
    return ChangeRecord(*service, [&](ServiceRecord& record) -> uint32_t {
        record.security = std::string(descriptor);
        return kErrorSuccess;
    });
}

}  // namespace ruzd::platform
