#include "platform/service_run_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <sstream>

#include "platform/proc_file.h"
#include "platform/root.h"
#include "platform/win_error.h"
#include "platform/window_endpoint.h"

namespace ruzd::platform {
namespace {

constexpr std::string_view kStatusTag = "ruzd-service-status";
constexpr size_t kMaxStatusBytes = 512;

class LockedFile {
public:
    LockedFile(const std::filesystem::path& path, int flags, int lock) {
        fd_ = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
        if (fd_ < 0) {
            return;
        }
        while (::flock(fd_, lock) != 0) {
            if (errno != EINTR) {
                const int error = errno;
                ::close(fd_);
                fd_ = -1;
                errno = error;
                return;
            }
        }
    }
    ~LockedFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

}  // namespace

std::optional<std::string> ServiceRunFileBase(std::string_view name) {
    const std::optional<std::string> encoded = window_endpoint::EncodeClassName(name);
    if (!encoded) {
        return std::nullopt;
    }
    return "service." + *encoded;
}

std::filesystem::path ServiceRunFile(std::string_view name, std::string_view suffix) {
    const std::optional<std::string> base = ServiceRunFileBase(name);
    if (!base) {
        return {};
    }
    return RootSubdir("run") / (*base + std::string(suffix));
}

std::filesystem::path ServiceWorkingFolder(std::string_view name) {
    const std::optional<std::string> encoded = window_endpoint::EncodeClassName(name);
    if (!encoded) {
        return {};
    }
    return Root() / "services" / *encoded;
}

uint32_t WriteServiceStatusFile(std::string_view name, const ServiceStatus& status, uint32_t pid) {
    const std::filesystem::path path = ServiceRunFile(name, ".status");
    if (path.empty()) {
        return kErrorInvalidName;
    }
    std::ostringstream line;
    line << kStatusTag << ' ' << status.service_type << ' ' << status.current_state << ' '
         << status.controls_accepted << ' ' << status.win32_exit_code << ' '
         << status.service_specific_exit_code << ' ' << status.check_point << ' '
         << status.wait_hint << ' ' << pid << ' ' << ProcessStartTime(pid).value_or(0) << '\n';
    const std::string text = line.str();
    const LockedFile file(path, O_RDWR | O_CREAT, LOCK_EX);
    if (file.fd() < 0) {
        return WinErrorFromLastErrno();
    }
    if (::pwrite(file.fd(), text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()) ||
        ::ftruncate(file.fd(), static_cast<off_t>(text.size())) != 0) {
        return WinErrorFromLastErrno();
    }
    return kErrorSuccess;
}

std::optional<ServiceStatusRecord> ReadServiceStatusFile(std::string_view name) {
    const std::filesystem::path path = ServiceRunFile(name, ".status");
    if (path.empty()) {
        return std::nullopt;
    }
    const LockedFile file(path, O_RDONLY, LOCK_SH);
    if (file.fd() < 0) {
        return std::nullopt;
    }
    char buffer[kMaxStatusBytes];
    const ssize_t got = ::pread(file.fd(), buffer, sizeof buffer, 0);
    if (got <= 0) {
        return std::nullopt;
    }
    std::istringstream line(std::string(buffer, static_cast<size_t>(got)));
    std::string tag;
    ServiceStatusRecord record;
    ServiceStatus& status = record.status;
    if (!(line >> tag >> status.service_type >> status.current_state >> status.controls_accepted >>
          status.win32_exit_code >> status.service_specific_exit_code >> status.check_point >>
          status.wait_hint >> record.pid >> record.start_time) ||
        tag != kStatusTag) {
        return std::nullopt;
    }
    return record;
}

ServiceStatusProcess CurrentServiceStatus(std::string_view name) {
    ServiceStatusProcess current;
    const std::optional<ServiceStatusRecord> record = ReadServiceStatusFile(name);
    if (!record) {
        current.status.service_type = kServiceWin32OwnProcess;
        current.status.current_state = kServiceStopped;
        current.status.win32_exit_code = kErrorServiceNeverStarted;
        return current;
    }
    current.status = record->status;
    if (current.status.current_state == kServiceStopped) {
        return current;
    }
    if (ProcessStartTime(record->pid) != record->start_time || record->start_time == 0) {
        current.status.current_state = kServiceStopped;
        current.status.controls_accepted = 0;
        current.status.win32_exit_code = kErrorProcessAborted;
        current.status.service_specific_exit_code = 0;
        current.status.check_point = 0;
        current.status.wait_hint = 0;
        return current;
    }
    current.process_id = record->pid;
    return current;
}

std::optional<uint64_t> ProcessStartTime(uint32_t pid) {
    if (pid == 0) {
        return std::nullopt;
    }
    const std::string stat = ReadProcFile(pid, "stat");
    // The name in parentheses may hold blanks and parentheses of its own.
    const size_t name_end = stat.rfind(')');
    if (name_end == std::string::npos) {
        return std::nullopt;
    }
    std::istringstream fields(stat.substr(name_end + 1));
    std::string state;
    fields >> state;
    if (state.empty() || state == "Z" || state == "X") {
        return std::nullopt;
    }
    // The start time is the 22nd field of the line; the state is its 3rd.
    std::string skipped;
    for (int i = 0; i < 18; ++i) {
        fields >> skipped;
    }
    uint64_t start_time = 0;
    if (!(fields >> start_time)) {
        return std::nullopt;
    }
    return start_time;
}

}  // namespace ruzd::platform
