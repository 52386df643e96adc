#pragma once

// The calls of the service interface that older systems lack, which a program looks up by name
// in ADVAPI32.DLL (RegisterServiceCtrlHandlerExW, EnumServicesStatusExW, QueryServiceConfig2W,
// ChangeServiceConfig2W, QueryServiceStatusEx) and does without when they are missing. All are
// missing when RUZD_SERVICE_LEGACY_API is 1, which plays such a system.

#include "platform/service_dispatcher.h"
#include "platform/service_manager.h"

namespace ruzd::platform {

inline constexpr const char* kServiceLegacyApiVariable = "RUZD_SERVICE_LEGACY_API";

struct ServiceApiExtensions {
    decltype(&RegisterServiceCtrlHandlerEx) register_service_ctrl_handler_ex = nullptr;
    decltype(&EnumServicesStatusEx) enum_services_status_ex = nullptr;
    decltype(&QueryServiceConfig2) query_service_config2 = nullptr;
    decltype(&ChangeServiceConfig2) change_service_config2 = nullptr;
    decltype(&QueryServiceStatusEx) query_service_status_ex = nullptr;
};

ServiceApiExtensions FindServiceApiExtensions();

}  // namespace ruzd::platform
