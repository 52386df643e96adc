#include "platform/ipv4_text.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstring>

namespace ruzd::platform {

std::string Ipv4Text(uint32_t address) {
    in_addr binary{};
    binary.s_addr = address;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &binary, text, sizeof text);
    return text;
}

uint32_t ParseIpv4(const std::string& text) {
    // inet_pton takes only the strict form (no short forms, no octal or hexadecimal parts, no
    // leading zeros); a null inside the text would end it early.
    in_addr binary{};
    if (text.find('\0') != std::string::npos || ::inet_pton(AF_INET, text.c_str(), &binary) != 1) {
        return kNoIpv4Address;
    }
    return binary.s_addr;
}

std::optional<std::array<uint8_t, 16>> ParseIpv6(std::string_view text) {
    const std::string terminated(text);
    in6_addr binary{};
    if (terminated.find('\0') != std::string::npos ||
        ::inet_pton(AF_INET6, terminated.c_str(), &binary) != 1) {
        return std::nullopt;
    }
    std::array<uint8_t, 16> bytes{};
    std::memcpy(bytes.data(), &binary, bytes.size());
    return bytes;
}

uint32_t ParseIpv4Destination(const std::string& text) {
    const uint32_t address = ParseIpv4(text);
    return address == 0 ? kNoIpv4Address : address;
}

}  // namespace ruzd::platform
