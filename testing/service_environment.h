#pragma once

// The variables the local service manager gives the process of a service a test installed: the
// "Environment" value (REG_MULTI_SZ) of the service's record.

#include <string>
#include <vector>

namespace ruzd::testing {

// False when the service's record cannot be opened.
bool SetServiceEnvironment(const std::string& service, const std::vector<std::string>& variables);

}  // namespace ruzd::testing
