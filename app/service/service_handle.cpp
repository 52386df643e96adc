#include "app/service/service_handle.h"

#include <chrono>
#include <thread>

#include "app/service/service_control_manager_handle.h"
#include "platform/clock.h"
#include "platform/waitable.h"
#include "platform/win_error.h"

namespace ruzd::app {
namespace {

bool NotImplemented() {
    platform::SetLastError(platform::kErrorCallNotImplemented);
    return false;
}

}  // namespace

CServiceHandle::CServiceHandle() : extensions_(platform::FindServiceApiExtensions()) {}

CServiceHandle::~CServiceHandle() {
    Close();
}

void CServiceHandle::Close() {
    if (handle_ != nullptr) {
        platform::CloseServiceHandle(handle_);
        handle_ = nullptr;
    }
}

bool CServiceHandle::Attach(platform::ScHandle handle) {
    if (handle_ != handle) {
        Close();
    }
    handle_ = handle;
    return true;
}

bool CServiceHandle::Create(const CServiceControlManagerHandle& manager, std::string_view name,
                            std::string_view displayName, uint32_t access, uint32_t serviceType,
                            uint32_t startType, uint32_t errorControl, std::string_view binaryPath,
                            std::string_view loadOrderGroup, uint32_t* tagId,
                            const std::vector<std::string>& dependencies, std::string_view account,
                            std::string_view password) {
    Close();
    handle_ = platform::CreateService(manager.GetHandle(), name, displayName, access, serviceType,
                                      startType, errorControl, binaryPath, loadOrderGroup, tagId,
                                      dependencies, account, password);
    return handle_ != nullptr;
}

bool CServiceHandle::Delete() const {
    return platform::DeleteService(handle_);
}

bool CServiceHandle::Start(const std::vector<std::string>& arguments) const {
    return platform::StartService(handle_, arguments);
}

bool CServiceHandle::Control(uint32_t code) const {
    platform::ServiceStatus status;
    return platform::ControlService(handle_, code, &status);
}

bool CServiceHandle::QueryStatus(platform::ServiceStatus& status) const {
    return platform::QueryServiceStatus(handle_, &status);
}

bool CServiceHandle::Accepts(uint32_t bit, bool& accepts) const {
    platform::ServiceStatus status;
    if (!QueryStatus(status)) {
        return false;
    }
    accepts = (status.controls_accepted & bit) != 0;
    return true;
}

bool CServiceHandle::AcceptsStop(bool& accepts) const {
    return Accepts(platform::kServiceAcceptStop, accepts);
}

bool CServiceHandle::AcceptsPauseContinue(bool& accepts) const {
    return Accepts(platform::kServiceAcceptPauseContinue, accepts);
}

bool CServiceHandle::AcceptsShutdown(bool& accepts) const {
    return Accepts(platform::kServiceAcceptShutdown, accepts);
}

bool CServiceHandle::WaitForState(uint32_t timeoutMs, uint32_t state, uint32_t pollMs) const {
    const uint64_t start = platform::CurrentClock().TickMs();
    for (;;) {
        platform::ServiceStatus status;
        if (!QueryStatus(status)) {
            return false;
        }
        if (status.current_state == state) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
        if (timeoutMs != platform::kInfinite &&
            platform::CurrentClock().TickMs() - start > timeoutMs) {
            platform::SetLastError(platform::kErrorTimeout);
            return false;
        }
    }
}

bool CServiceHandle::WaitForStop(uint32_t timeoutMs) const {
    return WaitForState(timeoutMs, platform::kServiceStopped, kStopPollMs);
}

bool CServiceHandle::QueryConfig(platform::ServiceConfig& config) const {
    return platform::QueryServiceConfig(handle_, &config);
}

bool CServiceHandle::ChangeConfig(uint32_t serviceType, uint32_t startType, uint32_t errorControl,
                                  const std::optional<std::string>& binaryPath,
                                  const std::optional<std::string>& loadOrderGroup, uint32_t* tagId,
                                  const std::optional<std::vector<std::string>>& dependencies,
                                  const std::optional<std::string>& account,
                                  const std::optional<std::string>& password,
                                  const std::optional<std::string>& displayName) const {
    return platform::ChangeServiceConfig(handle_, serviceType, startType, errorControl, binaryPath,
                                         loadOrderGroup, tagId, dependencies, account, password,
                                         displayName);
}

bool CServiceHandle::ChangeConfig2(uint32_t level, const platform::ServiceConfig2& config) const {
    if (extensions_.change_service_config2 == nullptr) {
        return NotImplemented();
    }
    return extensions_.change_service_config2(handle_, level, config);
}

bool CServiceHandle::QueryConfig2(uint32_t level, platform::ServiceConfig2& config) const {
    if (extensions_.query_service_config2 == nullptr) {
        return NotImplemented();
    }
    return extensions_.query_service_config2(handle_, level, &config);
}

bool CServiceHandle::ChangeDescription(std::string_view description) const {
    platform::ServiceConfig2 config;
    config.description = std::string(description);
    return ChangeConfig2(platform::kServiceConfigDescription, config);
}

bool CServiceHandle::ChangeFailureActions(const platform::FailureActions& actions) const {
    platform::ServiceConfig2 config;
    config.failure_actions = actions;
    return ChangeConfig2(platform::kServiceConfigFailureActions, config);
}

bool CServiceHandle::ChangeDelayedAutoStart(bool delayed) const {
    platform::ServiceConfig2 config;
    config.delayed_auto_start = delayed;
    return ChangeConfig2(platform::kServiceConfigDelayedAutoStartInfo, config);
}

bool CServiceHandle::QueryDescription(std::string& description) const {
    platform::ServiceConfig2 config;
    if (!QueryConfig2(platform::kServiceConfigDescription, config)) {
        return false;
    }
    description = config.description.value_or("");
    return true;
}

bool CServiceHandle::QueryFailureActions(platform::FailureActions& actions) const {
    platform::ServiceConfig2 config;
    if (!QueryConfig2(platform::kServiceConfigFailureActions, config)) {
        return false;
    }
    actions = config.failure_actions;
    return true;
}

bool CServiceHandle::QueryStatusEx(platform::ServiceStatusProcess& status) const {
    if (extensions_.query_service_status_ex == nullptr) {
        return NotImplemented();
    }
    return extensions_.query_service_status_ex(handle_, &status);
}

bool CServiceHandle::EnumDependents(uint32_t state, const EnumCallback& callback) const {
    std::vector<platform::EnumServiceStatus> dependents;
    if (!platform::EnumDependentServices(handle_, state, &dependents)) {
        return false;
    }
    for (const platform::EnumServiceStatus& dependent : dependents) {
        if (!callback(dependent)) {
            break;
        }
    }
    return true;
}

bool CServiceHandle::QueryObjectSecurity(uint32_t information, std::string& descriptor) const {
    return platform::QueryServiceObjectSecurity(handle_, information, &descriptor);
}

bool CServiceHandle::SetObjectSecurity(uint32_t information, std::string_view descriptor) const {
    return platform::SetServiceObjectSecurity(handle_, information, descriptor);
}

}  // namespace ruzd::app
