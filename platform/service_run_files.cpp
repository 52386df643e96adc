#include "platform/service_run_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>

#include "platform/bounded_file_lock.h"
#include "platform/error_output.h"
#include "platform/owned_fd.h"
#include "platform/owner_only_file.h"
#include "platform/proc_file.h"
#include "platform/regular_file.h"
#include "platform/root.h"
#include "platform/win_error.h"
#include "platform/window_endpoint.h"

namespace ruzd::platform {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kStatusTag = "ruzd-service-status";
constexpr size_t kMaxStatusBytes = 512;
constexpr mode_t kRunFolderMode = 0700;
constexpr mode_t kWorkingFolderMode = 0750;
constexpr mode_t kRunFileMode = 0600;

fs::path InRunFolder(std::string_view name, const char* file) {
    const fs::path folder = ServiceRunFolder(name);
    return folder.empty() ? folder : folder / file;
}

}  // namespace

std::optional<std::string> ServiceRunFileBase(std::string_view name) {
    const std::optional<std::string> encoded = window_endpoint::EncodeClassName(name);
    if (!encoded) {
        return std::nullopt;
    }
    return "service." + *encoded;
}

fs::path ServiceRunFolder(std::string_view name) {
    const std::optional<std::string> base = ServiceRunFileBase(name);
    return base ? Root() / "run" / *base : fs::path();
}

fs::path ServiceStatusFile(std::string_view name) {
    return InRunFolder(name, "status");
}

fs::path ServiceControlSocket(std::string_view name) {
    return InRunFolder(name, "ctl");
}

fs::path ServiceLockFile(std::string_view name) {
    return InRunFolder(name, "lock");
}

fs::path ServiceOutputFile(std::string_view name) {
    const std::optional<std::string> base = ServiceRunFileBase(name);
    return base ? Root() / "run" / (*base + ".out") : fs::path();
}

fs::path ServiceWorkingFolder(std::string_view name) {
    const std::optional<std::string> encoded = window_endpoint::EncodeClassName(name);
    return encoded ? Root() / "services" / *encoded : fs::path();
}

void SayServiceFileProblem(const fs::path& path, std::string_view what) {
    WriteErrorLine(path.string() + ": " + std::string(what));
}

uint32_t PrepareServiceFolder(const fs::path& folder, mode_t mode, std::optional<FileOwner> owner) {
    const auto fail = [&folder](const char* what, int error) {
        SayServiceFileProblem(folder, std::string(what) + ": " + std::strerror(error));
        return WinErrorFromErrno(error);
    };
    std::error_code ignored;
    fs::create_directories(folder.parent_path(), ignored);
    if (::mkdir(folder.c_str(), mode) != 0 && errno != EEXIST) {
        return fail("cannot be made", errno);
    }
    const OwnedFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() < 0) {
        return fail(errno == ENOTDIR || errno == ELOOP ? "is no folder" : "cannot be opened",
                    errno);
    }
    struct stat found {};
    if (::fstat(fd.get(), &found) != 0) {
        return fail("cannot be read", errno);
    }
    if (owner && ::geteuid() == 0 && (found.st_uid != owner->uid || found.st_gid != owner->gid)) {
        if (::fchown(fd.get(), owner->uid, owner->gid) != 0) {
            return fail("cannot be given to the service's account", errno);
        }
        found.st_uid = owner->uid;
    }
    // A folder given away is closed to others too: root may change any folder's rights.
    if ((found.st_uid == ::geteuid() || ::geteuid() == 0) && (found.st_mode & 07777 & ~mode) != 0 &&
        ::fchmod(fd.get(), found.st_mode & 07777 & mode) != 0) {
        return fail("cannot be closed to other users", errno);
    }
    return kErrorSuccess;
}

uint32_t PrepareServiceRunFolder(std::string_view name, std::optional<FileOwner> owner) {
    const fs::path folder = ServiceRunFolder(name);
    if (folder.empty()) {
        return kErrorInvalidName;
    }
    return PrepareServiceFolder(folder, kRunFolderMode, owner);
}

uint32_t PrepareServiceFiles(std::string_view name, FileOwner owner) {
    for (const auto& [folder, mode] : {std::pair{ServiceWorkingFolder(name), kWorkingFolderMode},
                                       std::pair{ServiceRunFolder(name), kRunFolderMode}}) {
        if (folder.empty()) {
            return kErrorInvalidName;
        }
        if (const uint32_t error = PrepareServiceFolder(folder, mode, owner);
            error != kErrorSuccess) {
            return error;
        }
    }
    const fs::path output = ServiceOutputFile(name);
    const OwnedFd fd(OpenServiceRunFile(output, O_WRONLY | O_APPEND | O_CREAT));
    if (fd.get() < 0) {
        const uint32_t error = WinErrorFromLastErrno();
        SayServiceFileProblem(output, WinErrorText(error));
        return error;
    }
    return kErrorSuccess;
}

int OpenServiceRunFile(const fs::path& path, int flags) {
    // A FIFO planted under the file's name would hold the open (a supervisor run by root) for
    // ever: it is refused at once like anything else that is no plain file.
    OwnedFd fd(OpenRegularFile(path, flags | O_NOFOLLOW, kRunFileMode));
    if (fd.get() < 0) {
        if (errno == kNotARegularFileError || errno == EISDIR) {
            errno = EINVAL;
        }
        return -1;
    }
    struct stat found {};
    if (::fstat(fd.get(), &found) != 0) {
        return -1;
    }
    // A hard link would turn a write of root's onto another file.
    if (found.st_nlink != 1) {
        errno = EINVAL;
        return -1;
    }
    if (!CloseToOthers(fd.get(), kRunFileMode)) {
        return -1;
    }
    return fd.release();
}

uint32_t LockServiceRunFile(int fd, int operation, const fs::path& path) {
    if (LockFileWithin(fd, operation, kFileLockWaitMs)) {
        return kErrorSuccess;
    }
    const int error = errno;
    if (error == EWOULDBLOCK) {
        SayServiceFileProblem(path, "held locked by another process for " +
                                        std::to_string(kFileLockWaitMs / 1000) +
                                        " seconds; given up");
        return kErrorLockViolation;
    }
    return WinErrorFromErrno(error);
}

uint32_t WriteServiceStatusFile(std::string_view name, const ServiceStatus& status, uint32_t pid,
                                std::optional<FileOwner> owner) {
    const fs::path path = ServiceStatusFile(name);
    if (path.empty()) {
        return kErrorInvalidName;
    }
    // Handing the file over is the supervisor's, whose failures are told here.
    const auto fail = [&path, &owner](const std::string& what, int error) {
        if (owner) {
            SayServiceFileProblem(path, what);
        }
        return WinErrorFromErrno(error);
    };
    std::ostringstream line;
    line << kStatusTag << ' ' << status.service_type << ' ' << status.current_state << ' '
         << status.controls_accepted << ' ' << status.win32_exit_code << ' '
         << status.service_specific_exit_code << ' ' << status.check_point << ' '
         << status.wait_hint << ' ' << pid << ' ' << ProcessStartTime(pid).value_or(0) << '\n';
    const std::string text = line.str();
    if (const uint32_t error = PrepareServiceRunFolder(name, std::nullopt);
        error != kErrorSuccess) {
        return error;
    }
    const OwnedFd file(OpenServiceRunFile(path, O_RDWR | O_CREAT));
    if (file.get() < 0) {
        const int error = errno;
        // OpenServiceRunFile's refusal of a symbolic link, a FIFO or a file of more than one
        // name.
        const bool foreign = error == EINVAL || error == ELOOP;
        return fail(std::string("cannot be written: ") +
                        (foreign ? "no plain file of its own" : std::strerror(error)),
                    error);
    }
    if (const uint32_t error = LockServiceRunFile(file.get(), LOCK_EX, path);
        error != kErrorSuccess) {
        return error;
    }
    if (::pwrite(file.get(), text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()) ||
        ::ftruncate(file.get(), static_cast<off_t>(text.size())) != 0) {
        const int error = errno;
        return fail(std::string("cannot be written: ") + std::strerror(error), error);
    }
    if (!owner) {
        return kErrorSuccess;
    }
    // Through the descriptor, never by name: the account's own folder holds the name, which it
    // may have pointed at another file since. And only while the file has this one name: a link
    // made to it since it was opened would hand the account a file it may not own the folder of.
    struct stat found {};
    if (::fstat(file.get(), &found) != 0) {
        const int error = errno;
        return fail(std::string("cannot be read: ") + std::strerror(error), error);
    }
    if (found.st_nlink != 1) {
        return fail("has " + std::to_string(found.st_nlink) +
                        " names; only a file of one is given to the service's account",
                    EINVAL);
    }
    if (::fchown(file.get(), owner->uid, owner->gid) != 0) {
        const int error = errno;
        return fail(
            std::string("cannot be given to the service's account: ") + std::strerror(error),
            error);
    }
    return kErrorSuccess;
}

uint32_t ReadServiceStatusFile(std::string_view name, ServiceStatusRecord* record) {
    const fs::path path = ServiceStatusFile(name);
    if (path.empty()) {
        return kErrorInvalidName;
    }
    const OwnedFd file(OpenServiceRunFile(path, O_RDONLY));
    if (file.get() < 0) {
        return errno == ENOENT || errno == ENOTDIR ? kErrorFileNotFound : WinErrorFromLastErrno();
    }
    if (const uint32_t error = LockServiceRunFile(file.get(), LOCK_SH, path);
        error != kErrorSuccess) {
        return error;
    }
    char buffer[kMaxStatusBytes];
    const ssize_t got = ::pread(file.get(), buffer, sizeof buffer, 0);
    if (got <= 0) {
        return kErrorFileNotFound;
    }
    std::istringstream line(std::string(buffer, static_cast<size_t>(got)));
    std::string tag;
    ServiceStatusRecord read;
    ServiceStatus& status = read.status;
    if (!(line >> tag >> status.service_type >> status.current_state >> status.controls_accepted >>
          status.win32_exit_code >> status.service_specific_exit_code >> status.check_point >>
          status.wait_hint >> read.pid >> read.start_time) ||
        tag != kStatusTag) {
        return kErrorFileNotFound;
    }
    *record = read;
    return kErrorSuccess;
}

uint32_t QueryCurrentServiceStatus(std::string_view name, ServiceStatusProcess* current) {
    *current = ServiceStatusProcess{};
    ServiceStatusRecord record;
    if (const uint32_t error = ReadServiceStatusFile(name, &record); error != kErrorSuccess) {
        if (error != kErrorFileNotFound) {
            return error;
        }
        current->status.service_type = kServiceWin32OwnProcess;
        current->status.current_state = kServiceStopped;
        current->status.win32_exit_code = kErrorServiceNeverStarted;
        return kErrorSuccess;
    }
    current->status = record.status;
    if (current->status.current_state == kServiceStopped) {
        return kErrorSuccess;
    }
    if (ProcessStartTime(record.pid) != record.start_time || record.start_time == 0) {
        ServiceStatus& status = current->status;
        status.current_state = kServiceStopped;
        status.controls_accepted = 0;
        status.win32_exit_code = kErrorProcessAborted;
        status.service_specific_exit_code = 0;
        status.check_point = 0;
        status.wait_hint = 0;
        return kErrorSuccess;
    }
    current->process_id = record.pid;
    return kErrorSuccess;
}

ServiceStatusProcess CurrentServiceStatus(std::string_view name) {
    ServiceStatusProcess current;
    if (const uint32_t error = QueryCurrentServiceStatus(name, &current); error != kErrorSuccess) {
        current = ServiceStatusProcess{};
        current.status.service_type = kServiceWin32OwnProcess;
        current.status.current_state = kServiceStopped;
        current.status.win32_exit_code = error;
    }
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
