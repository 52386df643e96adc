#pragma once

// A line for whoever watches the program's error output (the operator's terminal, a service
// manager's journal), beside the debug log that keeps every detail.

#include <string_view>

namespace ruzd::platform {

// Writes "<program>: <text>" and a line end to stderr in one write, so that the lines of several
// threads never mix.
void WriteErrorLine(std::string_view text);

}  // namespace ruzd::platform
