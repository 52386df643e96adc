#pragma once

// What starts and keeps the services of the service manager (service_manager.h): the local
// supervisor or systemd, chosen by RUZD_SERVICE_MANAGER.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/service_record.h"

namespace ruzd::platform {

class ServiceBackend {
public:
    virtual ~ServiceBackend() = default;

    // Starts the service, whose record passed its checks and whose dependencies run: 0, or the
    // Win32 code of the failure.
    virtual uint32_t Start(const ServiceRecord& record,
                           const std::vector<std::string>& arguments) = 0;
    // The service's record was created or changed; null: it was removed.
    virtual uint32_t RecordChanged(std::string_view name, const ServiceRecord* record) = 0;
};

// "local" or "systemd" from RUZD_SERVICE_MANAGER; without it systemd when the machine was booted
// with it, else local.
std::unique_ptr<ServiceBackend> SelectServiceBackend();

std::unique_ptr<ServiceBackend> MakeLocalServiceBackend();
std::unique_ptr<ServiceBackend> MakeSystemdServiceBackend();

}  // namespace ruzd::platform
