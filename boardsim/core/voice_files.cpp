#include "boardsim/core/voice_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <set>

#include "platform/crt_flags.h"
#include "platform/win_path.h"

namespace ruzd::boardsim {
namespace {

thread_local int32_t last_error = 0;

std::mutex handles_mutex;
std::set<int32_t> handles;  // handed out by VoiceFileOpen and still open

int32_t Failed(int error) {
    last_error = error;
    return -1;
}

}  // namespace

int32_t VoiceFileOpen(const char* windows_path, int32_t crt_flags, int32_t crt_permission) {
    if (windows_path == nullptr)
        return Failed(EINVAL);
    const std::optional<int> flags =
        platform::CrtOpenFlagsToPosix(static_cast<uint32_t>(crt_flags));
    const std::filesystem::path host = platform::MapWindowsPath(windows_path);
    if (!flags || host.empty())
        return Failed(EINVAL);
    const int handle =
        ::open(host.c_str(), *flags,
               platform::CrtPermissionToPosix(static_cast<uint32_t>(crt_permission)));
    if (handle < 0)
        return Failed(errno);
    std::lock_guard<std::mutex> lock(handles_mutex);
    handles.insert(handle);
    return handle;
}

int32_t VoiceFileSeek(int32_t handle, int32_t offset, int32_t origin) {
    if (origin != SEEK_SET && origin != SEEK_CUR && origin != SEEK_END)
        return Failed(EINVAL);
    const off_t position = ::lseek(handle, offset, origin);
    if (position < 0)
        return Failed(errno);
    return position > INT32_MAX ? Failed(EINVAL) : static_cast<int32_t>(position);
}

int32_t VoiceFileReadAt(int32_t handle, int64_t offset, void* buffer, uint32_t count) {
    ssize_t result = 0;
    do {
        result = ::pread(handle, buffer, count, static_cast<off_t>(offset));
    } while (result < 0 && errno == EINTR);
    return result < 0 ? Failed(errno) : static_cast<int32_t>(result);
}

std::optional<std::vector<uint8_t>> ReadHostFile(const std::string& host_path) {
    std::ifstream in(host_path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

int32_t VoiceFileRead(int32_t handle, void* buffer, uint32_t count) {
    ssize_t result = 0;
    do {
        result = ::read(handle, buffer, count > INT32_MAX ? INT32_MAX : count);
    } while (result < 0 && errno == EINTR);
    return result < 0 ? Failed(errno) : static_cast<int32_t>(result);
}

int32_t VoiceFileWrite(int32_t handle, const void* buffer, uint32_t count) {
    if (count > INT32_MAX)
        return Failed(EINVAL);
    const char* data = static_cast<const char*>(buffer);
    uint32_t written = 0;
    while (written < count) {
        const ssize_t result = ::write(handle, data + written, count - written);
        if (result < 0 && errno == EINTR)
            continue;
        if (result < 0)
            return Failed(errno);
        written += static_cast<uint32_t>(result);
    }
    return static_cast<int32_t>(written);
}

int32_t VoiceFileClose(int32_t handle) {
    {
        std::lock_guard<std::mutex> lock(handles_mutex);
        handles.erase(handle);
    }
    return ::close(handle) != 0 ? Failed(errno) : 0;
}

bool IsVoiceFileHandle(int32_t handle) {
    std::lock_guard<std::mutex> lock(handles_mutex);
    return handles.count(handle) != 0;
}

bool IsWritableFileHandle(int32_t handle) {
    if (IsVoiceFileHandle(handle))
        return true;
    const int flags = ::fcntl(handle, F_GETFL);
    struct stat status {};
    return flags >= 0 && (flags & O_ACCMODE) != O_RDONLY && ::fstat(handle, &status) == 0 &&
           S_ISREG(status.st_mode);
}

int32_t VoiceFileErrno() {
    return last_error;
}

}  // namespace ruzd::boardsim
