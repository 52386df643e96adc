#include "platform/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <system_error>

#include "platform/win_error.h"
#include "platform/write_whole.h"

namespace ruzd::platform {
namespace {

// The rename itself is made durable by flushing the folder that holds the name.
void SyncFolder(const std::filesystem::path& folder) {
    const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

}  // namespace

uint32_t ReplaceFileDurably(const std::filesystem::path& path, const void* data, size_t size,
                            const std::filesystem::path& scratchFolder) {
    std::error_code ignored;
    std::filesystem::create_directories(scratchFolder, ignored);
    std::string scratch = (scratchFolder / (path.filename().string() + ".XXXXXX")).string();
    const int fd = mkostemp(scratch.data(), O_CLOEXEC);
    if (fd < 0) {
        return WinErrorFromErrno(errno);
    }
    struct stat old {};
    const mode_t mode = stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    const bool written = WriteWhole(fd, data, size) && fchmod(fd, mode) == 0 && fsync(fd) == 0;
    int error = errno;
    if (close(fd) != 0 && written) {
        error = errno;
    }
    if (!written || rename(scratch.c_str(), path.c_str()) != 0) {
        error = written ? errno : error;
        unlink(scratch.c_str());
        return WinErrorFromErrno(error);
    }
    SyncFolder(path.parent_path());
    return 0;
}

}  // namespace ruzd::platform
