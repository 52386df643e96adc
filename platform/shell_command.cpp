#include "platform/shell_command.h"

#include <sys/wait.h>

#include <cstdlib>

namespace ruzd::platform {

int RunThroughShell(const std::string& command) {
    const int status = std::system(command.c_str());
    if (status == -1) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace ruzd::platform
