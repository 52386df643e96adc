// ruzd-svcrun: the local service manager's supervisor (platform/service_supervisor.h). The
// service manager starts it for each service it starts; "ruzd-svcrun boot" starts the automatic
// services at the machine's start. Asked for help, it prints its usage and starts nothing.

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/command_line.h"
#include "platform/error_output.h"
#include "platform/service_supervisor.h"
#include "platform/system_reboot.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: ruzd-svcrun [--] <service name> [argument]...\n"
    "       ruzd-svcrun boot\n"
    "The local service manager's supervisor. The service manager starts it (a service's start,\n"
    "e.g. Pelwix -service -start); it is seldom run by hand.\n"
    "  <service name> [argument]...\n"
    "                 start that service of the platform root (RUZD_ROOT) with these arguments\n"
    "                 and supervise it (its stop, its failure actions); the start's result is\n"
    "                 one line on standard output\n"
    "  --             the next word is the service's name, even \"boot\"\n"
    "  boot           start the automatic services, those with a delayed start last (at the\n"
    "                 machine's start)\n"
    "  -h, --help     print this text and end\n";

}  // namespace

int main(int argc, char** argv) {
    // The helper of a failure action's reboot (platform/system_reboot.h).
    if (const std::optional<int> status = ruzd::platform::RunRebootHelper(
            std::vector<std::string>(argv, argv + argc),
            [](const std::string& line) { ruzd::platform::WriteErrorLine(line); })) {
        return *status;
    }
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    // Only the first word: the words behind a service's name are the service's own.
    if (!arguments.empty() && ruzd::platform::IsHelpWord(arguments.front())) {
        std::fwrite(kUsage.data(), 1, kUsage.size(), stdout);
        return 0;
    }
    return ruzd::platform::RunServiceSupervisor(arguments);
}
