#pragma once

// Who a process is: the account it runs under and the session it belongs to.

#include <cstdint>
#include <optional>
#include <string>

namespace ruzd::platform {

// The name of the account of the process's effective user id; process id 0 means the calling
// process. None when the process does not exist, cannot be read or its user has no name.
std::optional<std::string> ProcessUserName(uint32_t process_id);

// The session the calling process belongs to (its session leader's process id).
std::optional<uint32_t> CurrentSessionId();

// The calling process's id.
uint32_t CurrentProcessId();

}  // namespace ruzd::platform
