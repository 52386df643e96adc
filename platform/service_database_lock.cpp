#include "platform/service_database_lock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <sstream>

#include "platform/clock.h"
#include "platform/process_identity.h"
#include "platform/root.h"
#include "platform/service_run_files.h"
#include "platform/win_error.h"

namespace ruzd::platform {
namespace {

std::filesystem::path LockPath() {
    return RootSubdir("run") / "service-database.lock";
}

// The owner's alone, as the services' run files are: a lock nobody else can take.
int OpenLockFile() {
    return OpenServiceRunFile(LockPath(), O_RDWR | O_CREAT);
}

// A lock of the open file description over the whole file: it conflicts with one taken
// through any other open of the file, in this process too, and can be asked about without
// taking it.
struct flock WholeFile(short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return lock;
}

}  // namespace

std::unique_ptr<ServiceDatabaseLock> ServiceDatabaseLock::Acquire() {
    const int fd = OpenLockFile();
    if (fd < 0) {
        SetLastErrorFromErrno(errno);
        return nullptr;
    }
    struct flock lock = WholeFile(F_WRLCK);
    while (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        if (errno != EINTR) {
            const int error = errno;
            ::close(fd);
            SetLastError(error == EAGAIN || error == EACCES ? kErrorServiceDatabaseLocked
                                                            : WinErrorFromErrno(error));
            return nullptr;
        }
    }
    std::ostringstream owner;
    owner << NowSeconds() << ' ' << ProcessUserName(0).value_or("") << '\n';
    const std::string text = owner.str();
    if (::ftruncate(fd, 0) != 0 ||
        ::pwrite(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())) {
        SetLastErrorFromErrno(errno);
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<ServiceDatabaseLock>(new ServiceDatabaseLock(fd));
}

ServiceDatabaseLock::~ServiceDatabaseLock() {
    ::close(fd_);
}

LockStatus ServiceDatabaseLock::Status() {
    LockStatus status;
    const int fd = OpenLockFile();
    if (fd < 0) {
        return status;
    }
    struct flock lock = WholeFile(F_WRLCK);
    if (::fcntl(fd, F_OFD_GETLK, &lock) != 0 || lock.l_type == F_UNLCK) {
        ::close(fd);
        return status;
    }
    char buffer[512];
    const ssize_t got = ::pread(fd, buffer, sizeof buffer - 1, 0);
    ::close(fd);
    status.is_locked = true;
    std::istringstream owner(std::string(buffer, got > 0 ? static_cast<size_t>(got) : 0));
    int64_t since = 0;
    owner >> since;
    std::getline(owner >> std::ws, status.lock_owner);
    const int64_t held = NowSeconds() - since;
    status.lock_duration_s = since > 0 && held > 0 ? static_cast<uint32_t>(held) : 0;
    return status;
}

}  // namespace ruzd::platform
