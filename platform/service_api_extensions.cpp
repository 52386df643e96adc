#include "platform/service_api_extensions.h"

#include <cstdlib>
#include <string_view>

namespace ruzd::platform {

ServiceApiExtensions FindServiceApiExtensions() {
    const char* legacy = std::getenv(kServiceLegacyApiVariable);
    if (legacy != nullptr && std::string_view(legacy) == "1") {
        return ServiceApiExtensions{};
    }
    return ServiceApiExtensions{&RegisterServiceCtrlHandlerEx, &EnumServicesStatusEx,
                                &QueryServiceConfig2, &ChangeServiceConfig2, &QueryServiceStatusEx};
}

}  // namespace ruzd::platform
