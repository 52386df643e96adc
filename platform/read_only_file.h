#pragma once

// A file opened for reading only, by its Windows path, for code that reads a whole file in
// pieces or through mapped views (checksums). Failures come back as the Win32 codes a Windows
// file function would give, and are also left as the thread's last error.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace ruzd::platform {

// A read-only view of part of a file; unmapped when it goes.
class MappedFileView {
public:
    MappedFileView() = default;
    MappedFileView(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    ~MappedFileView();
    MappedFileView(MappedFileView&& other) noexcept;
    MappedFileView& operator=(MappedFileView&& other) noexcept;
    MappedFileView(const MappedFileView&) = delete;
    MappedFileView& operator=(const MappedFileView&) = delete;

    bool is_mapped() const { return data_ != nullptr; }
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

private:
    void Unmap();

    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

class ReadOnlyFile {
public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile();  // closes
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // Opens an existing file for sequential reading, first closing a file this object holds.
    // 0, or the Win32 code of the failure (2 for a file that does not exist; a folder is
    // refused with 5, as Windows refuses to open it as a file; a FIFO or a device is refused
    // at once, never waited on).
    uint32_t Open(std::string_view windows_path);
    void Close();
    bool is_open() const { return fd_ >= 0; }

    // Reads up to `size` bytes at the current position, going on after interruptions: the
    // count read, 0 at the end of the file, nullopt on failure.
    std::optional<size_t> Read(void* buffer, size_t size);

    // The file's size; nullopt when it cannot be read.
    std::optional<uint64_t> Size() const;

    // Maps `size` bytes from `offset` (a multiple of the page size) for reading; a view that
    // is not mapped on failure.
    MappedFileView Map(uint64_t offset, size_t size) const;

private:
    int fd_ = -1;
};

}  // namespace ruzd::platform
