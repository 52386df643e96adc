#include "platform/owner_only_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace ruzd::platform {

bool CloseToOthers(int fd, mode_t keep) {
    struct stat found {};
    if (::fstat(fd, &found) != 0) {
        return false;
    }
    if (found.st_uid != ::geteuid() || (found.st_mode & 07777 & ~keep) == 0) {
        return true;
    }
    return ::fchmod(fd, found.st_mode & 07777 & keep) == 0;
}

int OpenOwnerLockFile(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
    if (fd < 0) {
        return -1;
    }
    if (!CloseToOthers(fd, 0600)) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

}  // namespace ruzd::platform
