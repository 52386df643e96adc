#pragma once

// The C library's command processor: runs a command line through the shell and waits for it.
// The shell leads a process group of its own, which an abrupt end of ours ends with it.

#include <string>

namespace ruzd::platform {

// The shell's exit status (128 + the signal for a command a signal ended); -1 when no shell
// could be started.
int RunThroughShell(const std::string& command);

}  // namespace ruzd::platform
