#include "platform/private_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace ruzd::platform {

bool EnsurePrivateFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) == 0) {
        return true;
    }
    if (errno != EEXIST) {
        return false;
    }
    // lstat: a link is judged as itself, never by what it points to.
    struct stat found {};
    if (::lstat(path.c_str(), &found) != 0) {
        return false;
    }
    return S_ISDIR(found.st_mode) && found.st_uid == ::geteuid() &&
           (found.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::optional<std::string> MakeFreshPrivateFolder(const std::string& prefix) {
    const std::string pattern = prefix + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    // mkdtemp makes the folder 0700 under a name nobody had.
    if (::mkdtemp(name.data()) == nullptr) {
        return std::nullopt;
    }
    return std::string(name.data());
}

std::FILE* CreateNewPrivateFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "wb");
    if (file == nullptr) {
        const int error = errno;
        ::close(fd);
        errno = error;
    }
    return file;
}

}  // namespace ruzd::platform
