#pragma once

// IPv4 addresses in dotted text, as the Windows socket library reads and writes them
// (inet_addr, inet_ntoa). Addresses are 32-bit numbers in network byte order.

#include <cstdint>
#include <string>

namespace ruzd::platform {

constexpr uint32_t kNoIpv4Address = 0xFFFFFFFF;

// "a.b.c.d" of the address.
std::string Ipv4Text(uint32_t address);

// The address of a dotted text, in the old short and numeric forms too ("127.1", "0x7f.1");
// kNoIpv4Address for a text that is no address (so also for "255.255.255.255").
uint32_t ParseIpv4(const std::string& text);

}  // namespace ruzd::platform
