#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/owned_fd.h"
#include "platform/write_whole.h"

namespace ruzd::platform {

static_assert(kNotARegularFileError == ENXIO);
static_assert(kNoSuchFileError == ENOENT);
static_assert(kIsAFolderError == EISDIR);

int OpenRegularFile(const std::filesystem::path& path, int flags, mode_t mode) {
    // O_NONBLOCK makes the open itself return at once on a FIFO; it is taken off again for a
    // regular file, where it changes nothing anyway.
    OwnedFd fd(::open(path.c_str(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode));
    if (fd.get() < 0) {
        return -1;
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) {
        return -1;
    }
    if (!S_ISREG(status.st_mode)) {
        errno = S_ISDIR(status.st_mode) ? EISDIR : kNotARegularFileError;
        return -1;
    }
    if ((flags & O_NONBLOCK) == 0) {
        const int status_flags = ::fcntl(fd.get(), F_GETFL);
        if (status_flags < 0 || ::fcntl(fd.get(), F_SETFL, status_flags & ~O_NONBLOCK) != 0) {
            return -1;
        }
    }
    return fd.release();
}

std::string OpenErrorText(int error) {
    if (error == kNotARegularFileError) {
        return "not a regular file";
    }
    if (error == EISDIR) {
        return "a folder, not a regular file";
    }
    return std::strerror(error);
}

int ReadRegularFile(const std::filesystem::path& path, std::string& content) {
    content.clear();
    const OwnedFd fd(OpenRegularFile(path, O_RDONLY));
    if (fd.get() < 0) {
        return errno != 0 ? errno : EIO;
    }
    return ReadToEnd(fd.get(), content);
}

int ReadToEnd(int fd, std::string& content) {
    content.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int error = errno;
            content.clear();
            return error;
        }
        if (got == 0) {
            return 0;
        }
        content.append(buffer, static_cast<size_t>(got));
    }
}

int WriteRegularFile(const std::filesystem::path& path, std::string_view content, mode_t mode) {
    const int fd = OpenRegularFile(path, O_WRONLY | O_CREAT | O_TRUNC, mode);
    if (fd < 0) {
        return errno != 0 ? errno : EIO;
    }
    int error = WriteWhole(fd, content.data(), content.size()) ? 0 : (errno != 0 ? errno : EIO);
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    return error;
}

int CheckRegularFile(const std::filesystem::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return errno;
    }
    if (!S_ISREG(status.st_mode)) {
        return S_ISDIR(status.st_mode) ? EISDIR : kNotARegularFileError;
    }
    return 0;
}

int OpenRegularFileToRead(const std::filesystem::path& path, int& error) {
    const int fd = OpenRegularFile(path, O_RDONLY);
    error = fd < 0 ? (errno != 0 ? errno : EIO) : 0;
    return fd;
}

int RegularFileSize(int fd, uint64_t& size) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        return errno;
    }
    size = static_cast<uint64_t>(status.st_size);
    return 0;
}

int ReadRegularFileAt(int fd, uint64_t offset, void* buffer, size_t size, size_t& read) {
    read = 0;
    char* bytes = static_cast<char*>(buffer);
    while (read < size) {
        const ssize_t got =
            ::pread(fd, bytes + read, size - read, static_cast<off_t>(offset + read));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (got == 0) {
            break;
        }
        read += static_cast<size_t>(got);
    }
    return 0;
}

}  // namespace ruzd::platform
