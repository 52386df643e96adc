#pragma once

// A trouble that the debug log cannot tell by itself (its own lines are what fails), said where
// an operator looks: on the error output and, as an error event of the program's source, in the
// Application event log (which also sends it to syslog).

#include <cstdint>
#include <string_view>

namespace ruzd::foundation {

// The event id of a report that carries only a text, as the service's own reports have.
inline constexpr uint32_t kAlertEventId = 0x40000010;

void AlertOperator(std::string_view text);

}  // namespace ruzd::foundation
