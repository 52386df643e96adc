#pragma once

// CRC-32 with the table in static data (zlib's), every member static. The free functions of
// foundation/crc32.h forward here; see there for the results.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/read_only_file.h"

namespace ruzd::foundation {

class CCrc32Static {
public:
    virtual ~CCrc32Static() = default;

    static uint32_t TextChecksum(const std::string& text, uint32_t& crc32);
    static uint32_t UnsupportedChecksum(const std::string& unused, uint32_t& crc32);
    static uint32_t FileChecksum(const std::string& path, uint32_t& crc32);
    static uint32_t FileChecksumBlocks(const std::string& path, uint32_t& crc32);
    static uint32_t FileChecksumMapped(const std::string& path, uint32_t& crc32);
    static uint32_t BufferChecksum(const void* data, size_t size);
    // False (size 0) when the open file's size cannot be read.
    static bool QueryFileSize(const platform::ReadOnlyFile& file, uint64_t& size);
    // One table step of the register.
    static void AddByte(uint8_t byte, uint32_t& crc32);
};

}  // namespace ruzd::foundation
