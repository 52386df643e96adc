#include "platform/owner_only_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/regular_file.h"

namespace ruzd::platform {
namespace {

// "uid 65534, nobody", or the number alone for a user the password database does not know.
std::string AccountOf(uid_t uid) {
    std::string text = "uid " + std::to_string(uid);
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) {
        text += ", ";
        text += found->pw_name;
    }
    return text;
}

}  // namespace

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
        return named + " belongs to another account (" + AccountOf(found.st_uid) + ")";
    }
    return named + " cannot be opened: " + OpenErrorText(error);
}

}  // namespace ruzd::platform
