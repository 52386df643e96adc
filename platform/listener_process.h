#pragma once

// Which process listens on a local TCP port, and where a process's program lies, read from the
// files the kernel keeps under /proc.

#include <cstdint>
#include <optional>
#include <string>

namespace ruzd::platform {

// The process that holds an IPv4 socket listening on `port` (in host order); none when no such
// socket is listed or none of the processes this user may look into holds it.
std::optional<uint32_t> ListenerProcessId(uint16_t port);

// The full path of the process's executable; none when it cannot be read.
std::optional<std::string> ProcessImagePath(uint32_t pid);

}  // namespace ruzd::platform
