#pragma once

// What the programs of a test reported to the event log, read back from the platform root's
// store of the Application log.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ruzd::testing {

// The events of one source, in order: each one's id and first text ("" when it has none).
std::vector<std::pair<uint32_t, std::string>> StoredEventsOf(std::string_view source);

}  // namespace ruzd::testing
