#pragma once

// The header the zip writer keeps for each entry, and the bytes it becomes: the local header
// in front of the data, the data descriptor behind it (outputs that cannot seek back), the
// central header and the end record. All integers little-endian.

#include <cstdint>
#include <string>

namespace ruzd::foundation {

inline constexpr uint16_t kZipVersionMadeBy = 0x0B17;  // host 11, version 2.3
inline constexpr uint16_t kZipVersionNeeded = 20;
inline constexpr uint16_t kZipFlagDataDescriptor = 8;
inline constexpr uint32_t kZipUnknownSize = 0xFFFFFFFF;

struct ZipEntryHeader {
    uint16_t flags = 0;
    uint16_t method = 0;  // 0 stored, 8 deflated
    uint16_t dos_time = 0;
    uint16_t dos_date = 0;
    uint32_t crc32 = 0;
    uint32_t compressed_size = 0;
    uint32_t uncompressed_size = 0;
    uint16_t internal_attributes = 0;
    uint32_t external_attributes = 0;
    uint32_t local_header_offset = 0;
    // Unix seconds of the extended time stamp.
    uint32_t modification_time = 0;
    uint32_t access_time = 0;
    uint32_t creation_time = 0;
    std::string name;  // ASCII, or UTF-8 under the UTF-8 flag; '/' between folders

    // 30 bytes, the name and the 17-byte extended time stamp with all three times.
    std::string LocalHeader() const;
    // "PK" 07 08, CRC-32 and both sizes.
    std::string DataDescriptor() const;
    // 46 bytes, the name and the 9-byte extended time stamp with the modification time.
    std::string CentralHeader() const;

private:
    void PutSharedFields(std::string& out) const;
};

std::string ZipEndRecord(uint16_t entries, uint32_t directory_size, uint32_t directory_offset);

}  // namespace ruzd::foundation
