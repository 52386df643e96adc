#include "platform/append_only_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/write_whole.h"

namespace ruzd::platform {

AppendOnlyFile::~AppendOnlyFile() {
    Close();
}

bool AppendOnlyFile::Open(const std::filesystem::path& path, uint32_t mode) {
    Close();
    fd_ =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, static_cast<mode_t>(mode));
    return fd_ >= 0;
}

uint64_t AppendOnlyFile::Size() const {
    struct stat status {};
    if (fd_ < 0 || ::fstat(fd_, &status) != 0 || status.st_size < 0) {
        return 0;
    }
    return static_cast<uint64_t>(status.st_size);
}

void AppendOnlyFile::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void AppendOnlyFile::WriteAll(std::string_view bytes) {
    if (fd_ < 0) {
        return;
    }
    WriteWhole(fd_, bytes.data(), bytes.size());
}

bool AppendOnlyFile::WriteAllExclusive(std::string_view bytes) {
    if (fd_ < 0) {
        return false;
    }
    int locked = -1;
    do {
        locked = ::flock(fd_, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        return false;
    }
    const bool written = WriteWhole(fd_, bytes.data(), bytes.size());
    ::flock(fd_, LOCK_UN);
    return written;
}

}  // namespace ruzd::platform
