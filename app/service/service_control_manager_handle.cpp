#include "app/service/service_control_manager_handle.h"

#include <vector>

#include "app/service/service_handle.h"
#include "platform/win_error.h"

namespace ruzd::app {

CServiceControlManagerHandle::CServiceControlManagerHandle()
    : enumServicesEx_(platform::FindServiceApiExtensions().enum_services_status_ex) {}

CServiceControlManagerHandle::~CServiceControlManagerHandle() {
    Unlock();
    Close();
}

bool CServiceControlManagerHandle::Open(std::string_view machine, uint32_t access) {
    Close();
    handle_ = platform::OpenSCManager(machine, "ServicesActive", access);
    return handle_ != nullptr;
}

void CServiceControlManagerHandle::Close() {
    if (handle_ != nullptr) {
        platform::CloseServiceHandle(handle_);
        handle_ = nullptr;
    }
}

bool CServiceControlManagerHandle::Attach(platform::ScHandle handle) {
    if (handle_ != handle) {
        Close();
    }
    handle_ = handle;
    return true;
}

bool CServiceControlManagerHandle::Lock() {
    lock_ = platform::LockServiceDatabase(handle_);
    return lock_ != nullptr;
}

bool CServiceControlManagerHandle::Unlock() {
    if (lock_ == nullptr) {
        return true;
    }
    const bool unlocked = platform::UnlockServiceDatabase(lock_);
    lock_ = nullptr;
    return unlocked;
}

bool CServiceControlManagerHandle::QueryLockStatus(platform::LockStatus& status) const {
    return platform::QueryServiceLockStatus(handle_, &status);
}

bool CServiceControlManagerHandle::OpenService(std::string_view name, uint32_t access,
                                               CServiceHandle& service) const {
    platform::ScHandle opened = platform::OpenService(handle_, name, access);
    if (opened == nullptr) {
        return false;
    }
    return service.Attach(opened);
}

bool CServiceControlManagerHandle::EnumServices(uint32_t serviceType, uint32_t serviceState,
                                                const EnumCallback& callback) const {
    std::vector<platform::EnumServiceStatus> services;
    if (!platform::EnumServicesStatus(handle_, serviceType, serviceState, &services)) {
        return false;
    }
    for (const platform::EnumServiceStatus& service : services) {
        if (!callback(service)) {
            break;
        }
    }
    return true;
}

bool CServiceControlManagerHandle::EnumServicesEx(uint32_t serviceType, uint32_t serviceState,
                                                  const std::optional<std::string>& groupName,
                                                  const EnumExCallback& callback) const {
    if (enumServicesEx_ == nullptr) {
        platform::SetLastError(platform::kErrorCallNotImplemented);
        return false;
    }
    std::vector<platform::EnumServiceStatusProcess> services;
    if (!enumServicesEx_(handle_, serviceType, serviceState, groupName, &services)) {
        return false;
    }
    for (const platform::EnumServiceStatusProcess& service : services) {
        if (!callback(service)) {
            break;
        }
    }
    return true;
}

}  // namespace ruzd::app
