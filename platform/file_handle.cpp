#include "platform/file_handle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>

#include "platform/regular_file.h"
#include "platform/win_error.h"
#include "platform/win_path.h"

namespace ruzd::platform {
namespace {

int32_t Failed(int error) {
    SetLastErrorFromErrno(error);
    return -1;
}

int32_t OpenMapped(std::string_view windows_path, int flags, mode_t mode) {
    const std::filesystem::path host = MapWindowsPath(windows_path);
    if (host.empty()) {
        SetLastError(kErrorInvalidName);
        return -1;
    }
    // A FIFO would hold the open, or the reads, for as long as nobody came to its other end.
    const int handle = OpenRegularFile(host, flags, mode);
    return handle < 0 ? Failed(errno) : handle;
}

WallTime ToWallTime(const timespec& time) {
    return WallTime(std::chrono::duration_cast<WallTime::duration>(
        std::chrono::seconds(time.tv_sec) + std::chrono::nanoseconds(time.tv_nsec)));
}

timespec ToTimespec(WallTime time) {
    const auto since =
        std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch());
    auto seconds = std::chrono::floor<std::chrono::seconds>(since);
    return timespec{static_cast<time_t>(seconds.count()),
                    static_cast<long>((since - seconds).count())};  // NOLINT: timespec's own type
}

// Goes on after interruptions and short writes until all is written or a write fails.
template <typename Writer>
bool WriteAll(const void* data, size_t size, Writer write) {
    size_t done = 0;
    while (done < size) {
        const ssize_t written = write(static_cast<const char*>(data) + done, size - done, done);
        if (written <= 0) {
            if (written < 0 && errno == EINTR) {
                continue;
            }
            Failed(written < 0 ? errno : EIO);
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
}

}  // namespace

int32_t OpenFileForReading(std::string_view windows_path) {
    return OpenMapped(windows_path, O_RDONLY, 0);
}

int32_t CreateFileForWriting(std::string_view windows_path) {
    return OpenMapped(windows_path, O_WRONLY | O_CREAT | O_TRUNC, 0666);
}

int32_t DuplicateFileHandle(int32_t handle) {
    const int duplicate = ::fcntl(handle, F_DUPFD_CLOEXEC, 0);
    return duplicate < 0 ? Failed(errno) : duplicate;
}

void CloseFileHandle(int32_t handle) {
    if (handle >= 0) {
        ::close(handle);
    }
}

std::optional<FileFacts> FileFactsOf(int32_t handle) {
    struct stat status {};
    if (::fstat(handle, &status) != 0) {
        Failed(errno);
        return std::nullopt;
    }
    FileFacts facts;
    facts.is_disk_file = S_ISREG(status.st_mode);
    facts.is_folder = S_ISDIR(status.st_mode);
    facts.owner_can_write = (status.st_mode & S_IWUSR) != 0;
    facts.owner_can_execute = (status.st_mode & S_IXUSR) != 0;
    facts.size = status.st_size > 0 ? static_cast<uint64_t>(status.st_size) : 0;
    facts.access_time = ToWallTime(status.st_atim);
    facts.modification_time = ToWallTime(status.st_mtim);
    return facts;
}

std::optional<size_t> ReadFileAt(int32_t handle, uint64_t offset, void* buffer, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t read = ::pread(handle, static_cast<char*>(buffer) + done, size - done,
                                     static_cast<off_t>(offset + done));
        if (read == 0) {
            break;
        }
        if (read < 0) {
            if (errno == EINTR) {
                continue;
            }
            Failed(errno);
            return std::nullopt;
        }
        done += static_cast<size_t>(read);
    }
    return done;
}

std::optional<size_t> ReadFileSome(int32_t handle, void* buffer, size_t size) {
    for (;;) {
        const ssize_t read = ::read(handle, buffer, size);
        if (read >= 0) {
            return static_cast<size_t>(read);
        }
        if (errno != EINTR) {
            Failed(errno);
            return std::nullopt;
        }
    }
}

bool WriteFileWhole(int32_t handle, const void* data, size_t size) {
    return WriteAll(data, size, [&](const char* from, size_t count, size_t) {
        return ::write(handle, from, count);
    });
}

bool WriteFileAt(int32_t handle, uint64_t offset, const void* data, size_t size) {
    return WriteAll(data, size, [&](const char* from, size_t count, size_t done) {
        return ::pwrite(handle, from, count, static_cast<off_t>(offset + done));
    });
}

std::optional<uint64_t> FilePosition(int32_t handle) {
    const off_t position = ::lseek(handle, 0, SEEK_CUR);
    if (position < 0) {
        Failed(errno);
        return std::nullopt;
    }
    return static_cast<uint64_t>(position);
}

bool SetFileTimes(int32_t handle, WallTime access_time, WallTime modification_time) {
    const timespec times[2] = {ToTimespec(access_time), ToTimespec(modification_time)};
    if (::futimens(handle, times) != 0) {
        Failed(errno);
        return false;
    }
    return true;
}

}  // namespace ruzd::platform
