#include "telephony/registry_readers.h"

#include "platform/ipv4_text.h"
#include "telephony/vendor_log.h"

namespace ruzd::telephony {

uint32_t ReadValidatedDword(foundation::CRegistry& registry, const char* name,
                            uint32_t default_value, const DwordValidator& valid) {
    uint32_t value = 0;
    if (registry.ReadDword(name, &value)) {
        if (valid(value)) {
            VendorTrace(0, 0, "Registry: Using %s = %u", name, value);
            return value;
        }
        VendorTrace(0, 0, "Registry: Value %s = %u is not valid", name, value);
    }
    VendorTrace(0, 0, "Registry: Setting %s = %u", name, default_value);
    registry.WriteDword(name, default_value);
    return default_value;
}

std::string ReadValidatedString(foundation::CRegistry& registry, const char* name,
                                const std::function<std::string()>& default_text,
                                const TextValidator& valid) {
    std::string value;
    if (registry.ReadString(name, value)) {
        if (valid(value)) {
            VendorTrace(0, 0, "Registry: Using %s = %s", name, value.c_str());
            return value;
        }
        VendorTrace(0, 0, "Registry: Value %s = %s is not valid", name, value.c_str());
    }
    const std::string fallback = default_text();
    VendorTrace(0, 0, "Registry: Setting %s = %s", name, fallback.c_str());
    registry.WriteString(name, fallback);
    return fallback;
}

std::string ReadValidatedString(foundation::CRegistry& registry, const char* name,
                                const std::string& default_text, const TextValidator& valid) {
    return ReadValidatedString(
        registry, name, [&default_text] { return default_text; }, valid);
}

uint32_t ReadValidatedIPAddress(foundation::CRegistry& registry, const char* name,
                                uint32_t default_address, std::string* text) {
    const std::string read = ReadValidatedString(
        registry, name, [default_address] { return platform::Ipv4Text(default_address); },
        [](const std::string&) { return true; });
    if (text != nullptr)
        *text = read;
    return platform::ParseIpv4(read);
}

uint16_t ReadRegistryPort(foundation::CRegistry& registry, const char* name,
                          uint32_t default_value) {
    return static_cast<uint16_t>(ReadValidatedDword(registry, name, default_value,
                                                    [](uint32_t value) { return value < 65536; }));
}

uint32_t ReadRegistryFlag(foundation::CRegistry& registry, const char* name,
                          uint32_t default_value) {
    return ReadValidatedDword(registry, name, default_value,
                              [](uint32_t value) { return value == 0 || value == 1; });
}

}  // namespace ruzd::telephony
