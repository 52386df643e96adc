#include "platform/shell_command.h"

#include <memory>

#include "platform/child_process.h"
#include "platform/waitable.h"

namespace ruzd::platform {

int RunThroughShell(const std::string& command) {
    // As system(3) runs it, but in a process group of its own: a command we wait for is ended
    // with us should we end at once (platform/child_groups.h), not left running behind us.
    ChildStart start;
    start.arguments = {"/bin/sh", "-c", command};
    start.own_process_group = true;
    const std::unique_ptr<ChildProcess> child = ChildProcess::Start(start);
    if (!child) {
        return -1;
    }
    child->ended().Wait(kInfinite);
    if (const std::optional<int> code = child->ExitCode()) {
        return *code;
    }
    return 128 + child->TermSignal().value_or(0);
}

}  // namespace ruzd::platform
