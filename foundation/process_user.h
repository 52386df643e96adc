#pragma once

// The account a process runs under, as "domain\user" is shown in the debug log's banner.

#include <cstdint>
#include <string>

namespace ruzd::foundation {

// The user name of the process's effective user id and, for the domain, the computer name
// (platform/computer_name.h), as Windows names the domain of a local account after the
// machine. Process id 0 means the calling process. False, with `user` and `domain` untouched, when
// the process does not exist, cannot be read or its user has no name.
bool GetProcessUserName(uint32_t process_id, std::string& user, std::string& domain);

}  // namespace ruzd::foundation
