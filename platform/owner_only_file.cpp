#include "platform/owner_only_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/other_writers.h"
#include "platform/regular_file.h"

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
    const int fd = OpenRegularFile(path, O_RDWR | O_CREAT | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return -1;
    }
    struct stat found {};
    int error = 0;
    if (::fstat(fd, &found) != 0) {
        error = errno;
    } else if (found.st_uid != ::geteuid()) {
        error = EACCES;
    } else if (!CloseToOthers(fd, 0600)) {
        error = errno;
    }
    if (error != 0) {
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

std::string OwnerLockFileProblem(const std::filesystem::path& path, int error) {
    const std::string named = "the lock file " + path.string();
    struct stat found {};
    if (error == EACCES && ::lstat(path.c_str(), &found) == 0 && found.st_uid != ::geteuid()) {
        return named + " belongs to another account (" + AccountText(found.st_uid) + ")";
    }
    return named + " cannot be opened: " + OpenErrorText(error);
}

}  // namespace ruzd::platform
