#pragma once

// IP addresses in text. IPv4 addresses are 32-bit numbers in network byte order.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ruzd::platform {

constexpr uint32_t kNoIpv4Address = 0xFFFFFFFF;

// "a.b.c.d" of the address.
std::string Ipv4Text(uint32_t address);

// The address of "a.b.c.d": four decimal numbers of 0 to 255, without leading zeros, and nothing
// else (no blanks, no short forms such as "127.1", no octal or hexadecimal parts, which the old
// socket readers took and which would name another address than a reader expects);
// kNoIpv4Address for any other text, so also for "255.255.255.255".
uint32_t ParseIpv4(const std::string& text);

// The same for an address that something is sent to: "0.0.0.0" names no host (only "any
// interface of this one", as a bind address) and is kNoIpv4Address too.
uint32_t ParseIpv4Destination(const std::string& text);

// The sixteen bytes of an IPv6 address in its text forms ("2001:db8::1", "::ffff:10.1.2.3"); none
// for anything else (a zone, "%eth0", included).
std::optional<std::array<uint8_t, 16>> ParseIpv6(std::string_view text);

}  // namespace ruzd::platform
