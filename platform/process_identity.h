#pragma once

// Who a process is: the account it runs under and the session it belongs to.

#include <cstdint>
#include <optional>
#include <string>

namespace ruzd::platform {

// The name of the account of the process's effective user id; process id 0 means the calling
// process. None when the process does not exist, cannot be read or its user has no name.
std::optional<std::string> ProcessUserName(uint32_t process_id);

// Whether the process runs as the calling process's own user: its real user id is the caller's
// real one and its effective user id the caller's effective one. A process of another account
// (or one that changed its ids, as a set-user-id program does) is not, even where the system
// would let the caller reach into it, as it lets root. False when the process cannot be read.
bool RunsAsCallingUser(uint32_t process_id);

// The calling process's effective user id: the user its files and sockets belong to.
uint32_t EffectiveUserId();

// The name of the account of the user id; none when the password database has no such user.
std::optional<std::string> UserName(uint32_t uid);

// The session the calling process belongs to (its session leader's process id).
std::optional<uint32_t> CurrentSessionId();

// The calling process's id.
uint32_t CurrentProcessId();

}  // namespace ruzd::platform
