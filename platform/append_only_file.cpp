#include "platform/append_only_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/bounded_file_lock.h"
#include "platform/owner_only_file.h"
#include "platform/regular_file.h"
#include "platform/write_whole.h"

namespace ruzd::platform {

AppendOnlyFile::~AppendOnlyFile() {
    Close();
}

bool AppendOnlyFile::Open(const std::filesystem::path& path, uint32_t mode) {
    Close();
    fd_ = OpenRegularFile(path, O_WRONLY | O_CREAT | O_APPEND, static_cast<mode_t>(mode));
    if (fd_ < 0) {
        open_error_ = errno;
        lock_path_.clear();
        return false;
    }
    open_error_ = 0;
    lock_path_ = path.string() + ".lock";
    return true;
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

int AppendOnlyFile::WriteAll(std::string_view bytes) {
    if (fd_ < 0) {
        return EBADF;
    }
    return AppendWholeOrNothing(fd_, bytes.data(), bytes.size());
}

int AppendOnlyFile::WriteAllExclusive(std::string_view bytes) {
    if (fd_ < 0) {
        return EBADF;
    }
    // The lock lies on a file of this account alone: one on the file itself could be taken by
    // any account that may read it, and held for as long as it liked. A lock that is still not
    // had within the bound (a writer of this account that hangs) lets the bytes go in all the
    // same, as one append: a line is not lost for it.
    const int lock = OpenOwnerLockFile(lock_path_);
    const bool locked = lock >= 0 && LockFileWithin(lock, LOCK_EX, kFileLockWaitMs);
    int error = 0;
    if (locked) {
        // Every writer holds the lock: a line cut short by a full disk can be taken back.
        error = AppendWholeOrNothing(fd_, bytes.data(), bytes.size());
    } else if (!WriteWhole(fd_, bytes.data(), bytes.size())) {
        error = errno;
    }
    if (lock >= 0) {
        ::close(lock);  // lets the lock go
    }
    return error;
}

}  // namespace ruzd::platform
