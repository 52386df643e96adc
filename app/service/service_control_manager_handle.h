#pragma once

// CServiceControlManagerHandle: an owning wrapper of a connection to the service control manager
// and of its database lock. Destroying it unlocks the database first, then closes the connection.
// The extended listing is looked up at construction, as on a system that may lack it; without
// it EnumServicesEx fails with 120.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/service_api_extensions.h"
#include "platform/service_manager.h"

namespace ruzd::app {

class CServiceHandle;

class CServiceControlManagerHandle {
public:
    using EnumCallback = std::function<bool(const platform::EnumServiceStatus&)>;
    using EnumExCallback = std::function<bool(const platform::EnumServiceStatusProcess&)>;

    CServiceControlManagerHandle();
    ~CServiceControlManagerHandle();
    CServiceControlManagerHandle(const CServiceControlManagerHandle&) = delete;
    CServiceControlManagerHandle& operator=(const CServiceControlManagerHandle&) = delete;

    // Closes a held connection, then connects to the manager of `machine` ("" for this one).
    bool Open(std::string_view machine, uint32_t access);
    void Close();
    // Closes a different held connection and keeps `handle`.
    bool Attach(platform::ScHandle handle);
    platform::ScHandle GetHandle() const { return handle_; }

    bool Lock();
    // True when no lock is held; else unlocks and forgets the lock.
    bool Unlock();
    bool QueryLockStatus(platform::LockStatus& status) const;

    // Opens the named service; on success `service` takes the new handle.
    bool OpenService(std::string_view name, uint32_t access, CServiceHandle& service) const;

    // Calls `callback` for each listed service until it returns false; the listing's result.
    bool EnumServices(uint32_t serviceType, uint32_t serviceState,
                      const EnumCallback& callback) const;
    bool EnumServicesEx(uint32_t serviceType, uint32_t serviceState,
                        const std::optional<std::string>& groupName,
                        const EnumExCallback& callback) const;

private:
    platform::ScHandle handle_ = nullptr;
    platform::ScLock lock_ = nullptr;
    decltype(platform::ServiceApiExtensions::enum_services_status_ex) enumServicesEx_ = nullptr;
};

}  // namespace ruzd::app
