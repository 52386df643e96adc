#include "platform/file_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "platform/win_error.h"
#include "platform/write_whole.h"

namespace ruzd::platform {
namespace {

// A large file's bytes go to the disk while the rest is still written, so that the flush of
// its commit does not wait for all of them, and the dirty pages it leaves stay few.
constexpr size_t kWriteBehindBytes = 8 << 20;

// The rename itself is made durable by flushing the folder that holds the name: 0, or the errno
// of the failure.
int SyncFolder(const std::filesystem::path& folder) {
    const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    const int error = fsync(fd) == 0 ? 0 : errno;
    close(fd);
    return error;
}

}  // namespace

FileReplacement::~FileReplacement() {
    Drop();
}

uint32_t FileReplacement::Begin(const std::filesystem::path& path,
                                const std::filesystem::path& scratchFolder) {
    Drop();
    std::error_code ignored;
    std::filesystem::create_directories(scratchFolder, ignored);
    std::string scratch = (scratchFolder / (path.filename().string() + ".XXXXXX")).string();
    const int fd = mkostemp(scratch.data(), O_CLOEXEC);
    if (fd < 0) {
        return WinErrorFromErrno(errno);
    }
    path_ = path;
    scratch_ = std::move(scratch);
    fd_ = fd;
    unflushed_ = 0;
    return 0;
}

uint32_t FileReplacement::Write(const void* data, size_t size) {
    if (fd_ < 0) {
        return WinErrorFromErrno(EBADF);
    }
    if (!WriteWhole(fd_, data, size)) {
        const int error = errno;
        Drop();
        return WinErrorFromErrno(error);
    }
    unflushed_ += size;
    if (unflushed_ >= kWriteBehindBytes) {
        // Only a start: the commit's flush still waits for every byte.
        sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
        unflushed_ = 0;
    }
    return 0;
}

uint32_t FileReplacement::Commit() {
    if (fd_ < 0) {
        return WinErrorFromErrno(EBADF);
    }
    struct stat old {};
    const mode_t mode =
        (stat(path_.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644) & ~denied_rights_;
    int error = fchmod(fd_, mode) == 0 && fsync(fd_) == 0 ? 0 : errno;
    // A file system may report a write it could not make only at the close (NFS, quotas).
    if (close(fd_) != 0 && error == 0) {
        error = errno;
    }
    fd_ = -1;
    if (error == 0 && rename(scratch_.c_str(), path_.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        unlink(scratch_.c_str());
        return WinErrorFromErrno(error);
    }
    // The new content is in place now whatever follows; a failed flush of its name only means
    // that a power cut could still bring the old one back.
    if (const int folder_error = SyncFolder(path_.parent_path()); folder_error != 0) {
        return WinErrorFromErrno(folder_error);
    }
    return 0;
}

uint32_t RenameFileDurably(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
        if (errno != EINVAL) {
            return WinErrorFromErrno(errno);
        }
        // A file system that cannot refuse to replace: the name is looked at first, which is
        // as safe within the one program that makes these names.
        struct stat there {};
        if (lstat(to.c_str(), &there) == 0) {
            return WinErrorFromErrno(EEXIST);
        }
        if (rename(from.c_str(), to.c_str()) != 0) {
            return WinErrorFromErrno(errno);
        }
    }
    if (const int error = SyncFolder(to.parent_path()); error != 0) {
        return WinErrorFromErrno(error);
    }
    return 0;
}

void FileReplacement::Drop() {
    if (fd_ < 0) {
        return;
    }
    close(fd_);
    fd_ = -1;
    unlink(scratch_.c_str());
}

}  // namespace ruzd::platform
