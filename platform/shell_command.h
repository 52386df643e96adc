#pragma once

// The C library's command processor: runs a command line through the shell and waits for it.

#include <string>

namespace ruzd::platform {

// The shell's exit status (128 + the signal for a command a signal ended); -1 when no shell
// could be started.
int RunThroughShell(const std::string& command);

}  // namespace ruzd::platform
