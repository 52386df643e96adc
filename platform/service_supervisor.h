#pragma once

// The local back-end's supervisor, the program ruzd-svcrun:
//
//   ruzd-svcrun [--] <name> [arguments...]   starts and supervises one service
//   ruzd-svcrun boot                         starts the automatic services (Start=2), those
//                                            with a delayed start last
//
// It starts the service's program ("ImagePath", read as Windows reads a service's command line:
// ServiceCommandWords; a program in Windows form is mapped to its host path) in the service's
// working folder, in a session of its own, with an environment of PATH, RUZD_ROOT,
// RUZD_SERVICE_NAME and the record's "Environment", its output appended to the service's output
// file, and as the user "ObjectName" stands for (ServiceAccountUser) when the supervisor runs as
// root; the service's folders are that account's. It holds the service's lock file for as long
// as it supervises; another supervisor that holds it past "ServicesPipeTimeout" is named with
// the file. Once the program's dispatcher runs (it wrote
// its first status within "ServicesPipeTimeout") the supervisor tells its starter the result as
// one line on its standard output and goes on in the background.
//
// A program that ends without having reported stopped has failed: the failure actions apply in
// order (the last one repeats; the count starts again after the reset period): restart after the
// delay, reboot through system_reboot.h, or run "FailureCommand" (no shell, as the service's
// account; "%1%" becomes the count). A stop signal to the supervisor stops the service (SIGTERM,
// its stop control) and ends the supervision.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ruzd::platform {

// The supervisor program: RUZD_TOOLS_DIR/ruzd-svcrun when that is set, else beside the running
// program.
std::filesystem::path SupervisorProgram();

// The line that carries the start's result to the starter, and the result it carries; none for
// output without such a line.
std::string SupervisorResultLine(uint32_t result);
std::optional<uint32_t> ParseSupervisorResult(std::string_view output);

// Runs the supervisor with its command line (without the program name); the process's exit
// status.
int RunServiceSupervisor(const std::vector<std::string>& arguments);

}  // namespace ruzd::platform
