#pragma once

// What the zip writer reads an entry from: a file it opens by name, a caller's file handle (a
// disk file read from its start, anything else as it comes), a memory block, or nothing at all
// for a folder entry; with the attributes and times the entry gets.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/clock.h"

namespace ruzd::foundation {

class ZipEntrySource {
public:
    ZipEntrySource() = default;
    ~ZipEntrySource();
    ZipEntrySource(const ZipEntrySource&) = delete;
    ZipEntrySource& operator=(const ZipEntrySource&) = delete;

    // Takes the source of the given kind (1 to 4); `length` is a memory block's size, or a
    // handle's size when known (0 when not). kZipSuccess or the code of the failure.
    int32_t Open(const void* source, uint32_t length, int32_t kind);

    // Up to `size` bytes, 0 at the end; none when a read fails.
    std::optional<size_t> Read(void* buffer, size_t size);

    bool is_folder() const { return is_folder_; }
    // The size, when the source knows it beforehand.
    std::optional<uint64_t> size() const { return size_; }
    uint32_t external_attributes() const { return external_attributes_; }
    platform::WallTime modification_time() const { return modification_time_; }
    platform::WallTime access_time() const { return access_time_; }
    // Linux keeps no creation time: a file's modification time stands in for it.
    platform::WallTime creation_time() const { return creation_time_; }

private:
    int32_t TakeFile(int32_t handle, bool owned);

    int32_t handle_ = -1;
    bool owns_handle_ = false;
    bool reads_at_offset_ = false;  // a disk file read from its start by position
    uint64_t offset_ = 0;
    bool is_memory_ = false;
    const uint8_t* memory_ = nullptr;
    bool is_folder_ = false;
    std::optional<uint64_t> size_;
    uint32_t external_attributes_ = 0;
    platform::WallTime modification_time_{};
    platform::WallTime access_time_{};
    platform::WallTime creation_time_{};
};

}  // namespace ruzd::foundation
