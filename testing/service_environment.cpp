#include "testing/service_environment.h"

#include "platform/reg_value.h"
#include "platform/registry.h"

namespace ruzd::testing {

bool SetServiceEnvironment(const std::string& service, const std::vector<std::string>& variables) {
    platform::RegistryKey key;
    if (platform::RegistryKey::LocalMachine().OpenSubKey(
            "SYSTEM\\CurrentControlSet\\Services\\" + service, platform::RegAccess::kAllAccess,
            &key) != 0) {
        return false;
    }
    const std::string bytes = platform::RegMultiSzBytes(variables);
    return key.SetValue("Environment", platform::kRegMultiSz, bytes.data(),
                        static_cast<uint32_t>(bytes.size())) == 0;
}

}  // namespace ruzd::testing
