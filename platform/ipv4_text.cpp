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
    return ::inet_addr(text.c_str());
}

}  // namespace ruzd::platform
