#pragma once

// The values the node program reads from its own registry key, with the kind each read takes
// and its default, and the start-up look at what the registry file holds there (see
// foundation/registry_check.h).

#include <vector>

#include "foundation/registry_check.h"

namespace ruzd::app {

std::vector<foundation::KnownRegistryValue> NodeRegistryValues();

// Tells each slip and each value of the wrong type under the node's key once, on stderr and in
// the debug log.
void ReportRegistryMistakes();

}  // namespace ruzd::app
