#include "platform/systemctl_run.h"

#include <cstdlib>
#include <memory>

#include "platform/child_process.h"
#include "platform/waitable.h"
#include "platform/win_error.h"

namespace ruzd::platform {
namespace {

std::string SystemctlProgram() {
    const char* configured = std::getenv("RUZD_SYSTEMCTL");
    return configured != nullptr && *configured != '\0' ? configured : "systemctl";
}

}  // namespace

SystemctlRun RunSystemctl(const std::vector<std::string>& arguments, bool quiet) {
    SystemctlRun run;
    run.program = SystemctlProgram();
    ChildStart start;
    start.arguments = {run.program};
    start.arguments.insert(start.arguments.end(), arguments.begin(), arguments.end());
    start.null_input = true;
    if (quiet) {
        start.null_output = true;
    }
    start.own_process_group = true;
    const std::unique_ptr<ChildProcess> child = ChildProcess::Start(start);
    if (!child) {
        run.start_error = GetLastError();
        return run;
    }
    run.started = true;
    if (child->ended().Wait(kSystemctlPatienceMs) != kWaitObject0) {
        child->KillGroup();
        run.timed_out = true;
        return run;
    }
    run.exit_code = child->ExitCode();
    return run;
}

}  // namespace ruzd::platform
