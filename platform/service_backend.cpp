#include "platform/service_backend.h"

#include <systemd/sd-daemon.h>

#include <cstdlib>

#include "platform/service_manager.h"

namespace ruzd::platform {

std::unique_ptr<ServiceBackend> SelectServiceBackend() {
    const char* chosen = std::getenv(kServiceManagerVariable);
    if (chosen != nullptr && std::string_view(chosen) == "local") {
        return MakeLocalServiceBackend();
    }
    if (chosen != nullptr && std::string_view(chosen) == "systemd") {
        return MakeSystemdServiceBackend();
    }
    return sd_booted() > 0 ? MakeSystemdServiceBackend() : MakeLocalServiceBackend();
}

}  // namespace ruzd::platform
