#include "platform/system_reboot.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string_view>
#include <thread>

#include "platform/shell_command.h"
#include "platform/syslog_sender.h"
#include "platform/systemctl_run.h"
#include "platform/text.h"
#include "platform/win_error.h"

namespace ruzd::platform {
namespace {

constexpr int kSysBootBit = CAP_SYS_BOOT;

uint32_t RunRebootCommand(const char* command) {
    const int status = RunThroughShell(command);
    return status == -1 ? kRebootNotAllowed : static_cast<uint32_t>(status);
}

// Waits for a descriptor that the exec of a helper closes: nothing read means the helper runs,
// an errno read is why it could not start.
int ExecErrorFrom(int fd) {
    int error = 0;
    ssize_t got;
    do {
        got = ::read(fd, &error, sizeof error);
    } while (got < 0 && errno == EINTR);
    return got == static_cast<ssize_t>(sizeof error) ? error : 0;
}

// The helper is a grandchild, so that nobody has to reap it and it outlives the caller. The
// grandchild only execs (in a process of several threads nothing else is safe after a fork);
// the child reports through its exit status whether the helper runs, else the errno of what
// failed, and the caller sees it.
uint32_t StartDetachedReboot(uint32_t delay_seconds, const std::string& message) {
    std::string self(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", self.data(), self.size() - 1);
    if (length <= 0) {
        return WinErrorFromErrno(errno);
    }
    self.resize(static_cast<size_t>(length));
    const std::string delay = std::to_string(delay_seconds);
    const char* const arguments[] = {self.c_str(), kRebootHelperWord, delay.c_str(),
                                     message.c_str(), nullptr};
    const pid_t child = ::fork();
    if (child < 0) {
        return WinErrorFromErrno(errno);
    }
    if (child == 0) {
        ::setsid();
        int exec_report[2];
        if (::pipe2(exec_report, O_CLOEXEC) != 0) {
            ::_exit(errno);
        }
        const pid_t helper = ::fork();
        if (helper == 0) {
            ::execv(arguments[0], const_cast<char* const*>(arguments));
            const int error = errno;
            [[maybe_unused]] const ssize_t told = ::write(exec_report[1], &error, sizeof error);
            ::_exit(127);
        }
        const int fork_error = errno;
        ::close(exec_report[1]);
        if (helper < 0) {
            ::_exit(fork_error);
        }
        ::_exit(ExecErrorFrom(exec_report[0]));
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status)) {
        return kRebootNotAllowed;
    }
    return WEXITSTATUS(status) == 0 ? 0 : WinErrorFromErrno(WEXITSTATUS(status));
}

// Runs `systemctl reboot`; the line of its failure, empty when it asked for the reboot.
std::string RunReboot() {
    const SystemctlRun run = RunSystemctl({"reboot"}, false);
    const char* systemctl = run.program.c_str();
    if (!run.started) {
        return Format("Reboot: ERROR Could not run '%s reboot', error=%u", systemctl,
                      run.start_error);
    }
    if (run.timed_out) {
        return Format("Reboot: ERROR '%s reboot' did not end within %u s", systemctl,
                      kSystemctlPatienceMs / 1000);
    }
    if (!run.exit_code) {
        return Format("Reboot: ERROR '%s reboot' ended without an exit code", systemctl);
    }
    if (*run.exit_code == 127) {
        return Format("Reboot: ERROR Could not run '%s reboot' (not found)", systemctl);
    }
    if (*run.exit_code != 0) {
        return Format("Reboot: ERROR '%s reboot' failed, ExitCode=%d", systemctl, *run.exit_code);
    }
    return {};
}

}  // namespace

bool MayRestartMachine() {
    if (::geteuid() == 0) {
        return true;
    }
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (::syscall(SYS_capget, &header, data) != 0) {
        return false;
    }
    return (data[kSysBootBit / 32].effective & (1u << (kSysBootBit % 32))) != 0;
}

uint32_t InitiateSystemReboot(uint32_t delay_seconds, const std::string& message) {
    if (const char* command = std::getenv("RUZD_REBOOT_COMMAND"); command != nullptr && *command) {
        return RunRebootCommand(command);
    }
    const char* allowed = std::getenv("RUZD_ALLOW_REBOOT");
    if (allowed == nullptr || std::string_view(allowed) != "1") {
        return kRebootNotAllowed;
    }
    // systemctl would refuse the account only once the delay has passed, when nobody looks:
    // the refusal is told now, while the caller can still show it.
    if (!MayRestartMachine()) {
        return kRebootNotAllowed;
    }
    return StartDetachedReboot(delay_seconds, message);
}

std::optional<int> RunRebootHelper(const std::vector<std::string>& words,
                                   const std::function<void(const std::string&)>& log) {
    if (words.size() != 4 || words[1] != kRebootHelperWord) {
        return std::nullopt;
    }
    const uint32_t delay_seconds =
        static_cast<uint32_t>(std::strtoul(words[2].c_str(), nullptr, 10));
    std::this_thread::sleep_for(std::chrono::seconds(delay_seconds));
    const std::string ident = ProgramSyslogIdent();
    SendToSyslog(SyslogSeverity::kWarning, ident, words[3]);
    const std::string failure = RunReboot();
    if (failure.empty()) {
        return 0;
    }
    SendToSyslog(SyslogSeverity::kError, ident, failure);
    if (log) {
        log(failure);
    }
    return 1;
}

}  // namespace ruzd::platform
