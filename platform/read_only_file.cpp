#include "platform/read_only_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/regular_file.h"
#include "platform/win_error.h"
#include "platform/win_path.h"

namespace ruzd::platform {

MappedFileView::~MappedFileView() {
    Unmap();
}

MappedFileView::MappedFileView(MappedFileView&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

MappedFileView& MappedFileView::operator=(MappedFileView&& other) noexcept {
    if (this != &other) {
        Unmap();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

void MappedFileView::Unmap() {
    if (data_ != nullptr) {
        ::munmap(const_cast<uint8_t*>(data_), size_);
        data_ = nullptr;
        size_ = 0;
    }
}

ReadOnlyFile::~ReadOnlyFile() {
    Close();
}

uint32_t ReadOnlyFile::Open(std::string_view windows_path) {
    Close();
    const std::filesystem::path host = MapWindowsPath(windows_path);
    if (host.empty()) {
        SetLastError(kErrorInvalidName);
        return kErrorInvalidName;
    }
    // A FIFO would hold the open (and a device the reads) without end.
    const int fd = OpenRegularFile(host, O_RDONLY);
    if (fd < 0) {
        return SetLastErrorFromErrno(errno);
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    fd_ = fd;
    return kErrorSuccess;
}

void ReadOnlyFile::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

std::optional<size_t> ReadOnlyFile::Read(void* buffer, size_t size) {
    for (;;) {
        const ssize_t count = ::read(fd_, buffer, size);
        if (count >= 0) {
            return static_cast<size_t>(count);
        }
        if (errno != EINTR) {
            SetLastErrorFromErrno(errno);
            return std::nullopt;
        }
    }
}

std::optional<uint64_t> ReadOnlyFile::Size() const {
    struct stat status {};
    if (::fstat(fd_, &status) != 0) {
        SetLastErrorFromErrno(errno);
        return std::nullopt;
    }
    return static_cast<uint64_t>(status.st_size);
}

MappedFileView ReadOnlyFile::Map(uint64_t offset, size_t size) const {
    void* data = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd_, static_cast<off_t>(offset));
    if (data == MAP_FAILED) {
        SetLastErrorFromErrno(errno);
        return {};
    }
    ::madvise(data, size, MADV_SEQUENTIAL);
    return MappedFileView(static_cast<const uint8_t*>(data), size);
}

}  // namespace ruzd::platform
