#pragma once

// CRC-32 with a table built at run time. The members answer as the free functions of
// foundation/crc32.h do, but the text and file members return 23 (checksum 0) while the table
// is not built. BufferChecksum builds a missing table itself.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/read_only_file.h"

namespace ruzd::foundation {

class CCrc32Dynamic {
public:
    CCrc32Dynamic() = default;
    virtual ~CCrc32Dynamic() = default;  // releases the table
    CCrc32Dynamic(const CCrc32Dynamic&) = delete;
    CCrc32Dynamic& operator=(const CCrc32Dynamic&) = delete;

    // Releases any table, then makes and fills a new one.
    void BuildTable();
    void ReleaseTable();

    uint32_t TextChecksum(const std::string& text, uint32_t& crc32) const;
    uint32_t UnsupportedChecksum(const std::string& unused, uint32_t& crc32) const;
    uint32_t FileChecksum(const std::string& path, uint32_t& crc32) const;
    uint32_t FileChecksumBlocks(const std::string& path, uint32_t& crc32) const;
    uint32_t FileChecksumMapped(const std::string& path, uint32_t& crc32) const;
    uint32_t BufferChecksum(const void* data, size_t size);
    bool QueryFileSize(const platform::ReadOnlyFile& file, uint64_t& size) const;
    // One table step of the register; nothing without a table.
    void AddByte(uint8_t byte, uint32_t& crc32) const;

private:
    // The member's result with its checksum 0 when no table is built, else that of `compute`.
    template <typename Compute>
    uint32_t WithTable(uint32_t& crc32, Compute compute) const;
    uint32_t AddBytes(uint32_t crc_register, const uint8_t* data, size_t size) const;

    std::unique_ptr<uint32_t[]> table_;
};

}  // namespace ruzd::foundation
