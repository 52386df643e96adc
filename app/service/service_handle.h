#pragma once

// CServiceHandle: an owning wrapper of one service's handle; destroying it closes the handle.
// The configuration calls that older systems lack are looked up at construction, and an
// operation that needs a missing one fails with 120 without calling anything.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/service_api_extensions.h"
#include "platform/service_manager.h"

namespace ruzd::app {

class CServiceControlManagerHandle;

class CServiceHandle {
public:
    using EnumCallback = std::function<bool(const platform::EnumServiceStatus&)>;

    // How often WaitForStop looks at the service.
    static constexpr uint32_t kStopPollMs = 250;

    CServiceHandle();
    ~CServiceHandle();
    CServiceHandle(const CServiceHandle&) = delete;
    CServiceHandle& operator=(const CServiceHandle&) = delete;

    void Close();
    // Closes a different held handle and keeps `handle`.
    bool Attach(platform::ScHandle handle);
    platform::ScHandle GetHandle() const { return handle_; }

    // Closes a held handle, then creates the service through the manager.
    bool Create(const CServiceControlManagerHandle& manager, std::string_view name,
                std::string_view displayName, uint32_t access, uint32_t serviceType,
                uint32_t startType, uint32_t errorControl, std::string_view binaryPath,
                std::string_view loadOrderGroup, uint32_t* tagId,
                const std::vector<std::string>& dependencies, std::string_view account,
                std::string_view password);
    bool Delete() const;
    bool Start(const std::vector<std::string>& arguments = {}) const;

    // Sends a control code; the status it brings back is not kept.
    bool Control(uint32_t code) const;
    bool Stop() const { return Control(platform::kServiceControlStop); }
    bool Pause() const { return Control(platform::kServiceControlPause); }
    bool Continue() const { return Control(platform::kServiceControlContinue); }
    bool Interrogate() const { return Control(platform::kServiceControlInterrogate); }

    bool QueryStatus(platform::ServiceStatus& status) const;
    bool AcceptsStop(bool& accepts) const;
    bool AcceptsPauseContinue(bool& accepts) const;
    bool AcceptsShutdown(bool& accepts) const;

    // Polls the status every `pollMs` until the service is in `state`: true. False when a query
    // fails, or with the last error 1460 once more than `timeoutMs` (kInfinite: no limit) have
    // passed since the first query.
    bool WaitForState(uint32_t timeoutMs, uint32_t state, uint32_t pollMs) const;
    bool WaitForStop(uint32_t timeoutMs) const;

    bool QueryConfig(platform::ServiceConfig& config) const;
    bool ChangeConfig(uint32_t serviceType, uint32_t startType, uint32_t errorControl,
                      const std::optional<std::string>& binaryPath,
                      const std::optional<std::string>& loadOrderGroup, uint32_t* tagId,
                      const std::optional<std::vector<std::string>>& dependencies,
                      const std::optional<std::string>& account,
                      const std::optional<std::string>& password,
                      const std::optional<std::string>& displayName) const;
    bool ChangeDescription(std::string_view description) const;
    bool ChangeFailureActions(const platform::FailureActions& actions) const;
    bool ChangeDelayedAutoStart(bool delayed) const;
    bool QueryDescription(std::string& description) const;
    bool QueryFailureActions(platform::FailureActions& actions) const;
    bool QueryStatusEx(platform::ServiceStatusProcess& status) const;

    // Calls `callback` for each dependent service in `state` until it returns false.
    bool EnumDependents(uint32_t state, const EnumCallback& callback) const;

    bool QueryObjectSecurity(uint32_t information, std::string& descriptor) const;
    bool SetObjectSecurity(uint32_t information, std::string_view descriptor) const;

private:
    bool Accepts(uint32_t bit, bool& accepts) const;
    bool ChangeConfig2(uint32_t level, const platform::ServiceConfig2& config) const;
    bool QueryConfig2(uint32_t level, platform::ServiceConfig2& config) const;

    platform::ScHandle handle_ = nullptr;
    platform::ServiceApiExtensions extensions_;
};

}  // namespace ruzd::app
