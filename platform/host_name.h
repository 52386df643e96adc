#pragma once

// Whether a text names a network host: a host name, an IPv4 address in dotted form or an IPv6
// address. Host names come from peers, so they are checked before they go anywhere near a
// command line: nothing that passes can be read as an option, split into two arguments or carry
// a shell's special characters.

#include <string_view>

namespace ruzd::platform {

// Letters, digits and hyphens in dot-separated labels of 1 to 63 characters, no label starting
// or ending with a hyphen, at most 253 characters (a final dot allowed); a text of only digits
// and dots must be a whole IPv4 address.
bool IsHostName(std::string_view text);

// Four decimal numbers 0 to 255, or an IPv6 address in any of its text forms (no zone).
bool IsIpAddress(std::string_view text);

bool IsHostNameOrAddress(std::string_view text);

}  // namespace ruzd::platform
