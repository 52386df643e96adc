#include "platform/system_reboot.h"

#include <sys/wait.h>
#include <syslog.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

#include "platform/shell_command.h"

namespace ruzd::platform {
namespace {

uint32_t RunRebootCommand(const char* command) {
    const int status = RunThroughShell(command);
    return status == -1 ? kRebootNotAllowed : static_cast<uint32_t>(status);
}

// A grandchild, so that nobody has to reap it and it outlives the caller.
uint32_t StartDetachedReboot(uint32_t delay_seconds, const std::string& message) {
    const pid_t child = ::fork();
    if (child < 0) {
        return kRebootNotAllowed;
    }
    if (child == 0) {
        ::setsid();
        if (::fork() == 0) {
            ::sleep(delay_seconds);
            ::openlog("Tormbel", LOG_PID, LOG_USER);
            ::syslog(LOG_CRIT, "%s", message.c_str());
            ::closelog();
            ::execlp("systemctl", "systemctl", "reboot", static_cast<char*>(nullptr));
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return 0;
}

}  // namespace

uint32_t InitiateSystemReboot(uint32_t delay_seconds, const std::string& message) {
    if (const char* command = std::getenv("RUZD_REBOOT_COMMAND"); command != nullptr && *command) {
        return RunRebootCommand(command);
    }
    const char* allowed = std::getenv("RUZD_ALLOW_REBOOT");
    if (allowed != nullptr && std::string_view(allowed) == "1") {
        return StartDetachedReboot(delay_seconds, message);
    }
    return kRebootNotAllowed;
}

}  // namespace ruzd::platform
