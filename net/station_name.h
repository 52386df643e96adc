#pragma once

// The name under which a text socket introduces its machine in the handshake.

#include <optional>
#include <string>

namespace ruzd::net {

// "<domain>\<computer>": the computer name (platform/computer_name.h) after the domain the
// machine belongs to. A Linux host belongs to no Windows domain, so the domain part is empty.
// None when the host name cannot be read.
std::optional<std::string> GetStationName();

}  // namespace ruzd::net
