#include "platform/crt_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <optional>

#include "platform/crt_flags.h"
#include "platform/regular_file.h"
#include "platform/win_error.h"
#include "platform/win_path.h"

namespace ruzd::platform {
namespace {

int32_t Failed(int error) {
    errno = error;
    SetLastErrorFromErrno(error);
    return -1;
}

}  // namespace

int32_t CrtOpen(std::string_view windows_path, uint32_t crt_flags, uint32_t crt_permission) {
    const std::optional<int> flags = CrtOpenFlagsToPosix(crt_flags);
    const std::filesystem::path host = MapWindowsPath(windows_path);
    if (!flags || host.empty()) {
        return Failed(EINVAL);
    }
    // Voice and record files only: a FIFO would hold the open (or a device the reads) with no
    // end and no word said.
    const int handle = OpenRegularFile(host, *flags, CrtPermissionToPosix(crt_permission));
    if (handle < 0) {
        return Failed(errno);
    }
    return handle;
}

int32_t CrtRead(int32_t handle, void* buffer, uint32_t count) {
    const size_t wanted = count > INT32_MAX ? INT32_MAX : count;
    for (;;) {
        const ssize_t read = ::read(handle, buffer, wanted);
        if (read >= 0) {
            return static_cast<int32_t>(read);
        }
        if (errno != EINTR) {
            return Failed(errno);
        }
    }
}

int32_t CrtWrite(int32_t handle, const void* buffer, uint32_t count) {
    if (count > INT32_MAX) {
        return Failed(EINVAL);
    }
    const char* data = static_cast<const char*>(buffer);
    uint32_t written = 0;
    while (written < count) {
        const ssize_t result = ::write(handle, data + written, count - written);
        if (result < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Failed(errno);
        }
        written += static_cast<uint32_t>(result);
    }
    return static_cast<int32_t>(written);
}

int32_t CrtLseek(int32_t handle, int32_t offset, int32_t whence) {
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) {
        return Failed(EINVAL);
    }
    const off_t position = ::lseek(handle, offset, whence);
    if (position < 0) {
        return Failed(errno);
    }
    if (position > INT32_MAX) {
        return Failed(EINVAL);  // the run time's positions are 32 bits
    }
    return static_cast<int32_t>(position);
}

int32_t CrtClose(int32_t handle) {
    if (::close(handle) != 0) {
        return Failed(errno);
    }
    return 0;
}

int32_t CrtChmod(std::string_view windows_path, uint32_t crt_permission) {
    const std::filesystem::path host = MapWindowsPath(windows_path);
    if (host.empty()) {
        return Failed(EINVAL);
    }
    // Windows knows only a read-only attribute: clear every write bit, or give the owner back
    // the right to write; the other bits stay as they are.
    struct stat status {};
    if (::stat(host.c_str(), &status) != 0) {
        return Failed(errno);
    }
    const mode_t write_bits = S_IWUSR | S_IWGRP | S_IWOTH;
    const mode_t mode = (CrtPermissionToPosix(crt_permission) & S_IWUSR) != 0
                            ? (status.st_mode | S_IWUSR)
                            : (status.st_mode & ~write_bits);
    if (::chmod(host.c_str(), mode & 07777) != 0) {
        return Failed(errno);
    }
    return 0;
}

int32_t CrtErrno() {
    return errno;
}

}  // namespace ruzd::platform
