#include "foundation/crc32_static.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

#include "foundation/crc32.h"
#include "foundation/crc32_shared.h"

namespace ruzd::foundation {
namespace {

// zlib takes and returns the finished checksum, the complement of the register.
uint32_t AddBytes(uint32_t crc_register, const uint8_t* data, size_t size) {
    uLong value = ~crc_register;
    while (size > 0) {
        const uInt piece = static_cast<uInt>(std::min<size_t>(size, UINT_MAX));
        value = crc32(value, data, piece);
        data += piece;
        size -= piece;
    }
    return ~static_cast<uint32_t>(value);
}

}  // namespace

uint32_t CCrc32Static::TextChecksum(const std::string& text, uint32_t& crc32) {
    return Crc32OfTextLowBytes(text, crc32, AddBytes);
}

uint32_t CCrc32Static::UnsupportedChecksum(const std::string& /*unused*/, uint32_t& /*crc32*/) {
    return kCrc32ErrorNotSupported;
}

uint32_t CCrc32Static::FileChecksum(const std::string& path, uint32_t& crc32) {
    return Crc32OfFileInPieces(path, crc32, AddBytes);
}

uint32_t CCrc32Static::FileChecksumBlocks(const std::string& path, uint32_t& crc32) {
    return Crc32OfFileInPieces(path, crc32, AddBytes);
}

uint32_t CCrc32Static::FileChecksumMapped(const std::string& path, uint32_t& crc32) {
    return Crc32OfFileMapped(path, crc32, AddBytes);
}

uint32_t CCrc32Static::BufferChecksum(const void* data, size_t size) {
    return ~AddBytes(0xFFFFFFFF, static_cast<const uint8_t*>(data), size);
}

bool CCrc32Static::QueryFileSize(const platform::ReadOnlyFile& file, uint64_t& size) {
    return QueryCrc32FileSize(file, size);
}

void CCrc32Static::AddByte(uint8_t byte, uint32_t& crc32) {
    crc32 = AddBytes(crc32, &byte, 1);
}

uint32_t GetStringCrc32(const std::string& text, uint32_t& crc32) {
    return CCrc32Static::TextChecksum(text, crc32);
}

uint32_t GetCrc32Unsupported(const std::string& unused, uint32_t& crc32) {
    return CCrc32Static::UnsupportedChecksum(unused, crc32);
}

uint32_t GetFileCrc32(const std::string& path, uint32_t& crc32) {
    return CCrc32Static::FileChecksum(path, crc32);
}

uint32_t GetFileCrc32Mapped(const std::string& path, uint32_t& crc32) {
    return CCrc32Static::FileChecksumMapped(path, crc32);
}

uint32_t GetFileCrc32Blocks(const std::string& path, uint32_t& crc32) {
    return CCrc32Static::FileChecksumBlocks(path, crc32);
}

uint32_t GetBufferCrc32(const void* data, size_t size) {
    return CCrc32Static::BufferChecksum(data, size);
}

}  // namespace ruzd::foundation
