#include "platform/ipv4_text.h"

#include <arpa/inet.h>
#include <netinet/in.h>

namespace ruzd::platform {

std::string Ipv4Text(uint32_t address) {
    in_addr binary{};
    binary.s_addr = address;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &binary, text, sizeof text);
    return text;
}

uint32_t ParseIpv4(const std::string& text) {
    uint32_t host_order = 0;
    size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != '.') {
                return kNoIpv4Address;
            }
            ++at;
        }
        const size_t start = at;
        uint32_t number = 0;
        while (at < text.size() && at - start < 3 && text[at] >= '0' && text[at] <= '9') {
            number = number * 10 + static_cast<uint32_t>(text[at] - '0');
            ++at;
        }
        const size_t digits = at - start;
        if (digits == 0 || number > 255 || (digits > 1 && text[start] == '0')) {
            return kNoIpv4Address;
        }
        host_order = (host_order << 8) | number;
    }
    if (at != text.size()) {
        return kNoIpv4Address;
    }
    return htonl(host_order);
}

uint32_t ParseIpv4Destination(const std::string& text) {
    const uint32_t address = ParseIpv4(text);
    return address == 0 ? kNoIpv4Address : address;
}

}  // namespace ruzd::platform
