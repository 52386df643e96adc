#include "foundation/crc32_dynamic.h"

#include "foundation/crc32_shared.h"

namespace ruzd::foundation {
namespace {

constexpr uint32_t kPolynomial = 0xEDB88320;  // reflected

}  // namespace

void CCrc32Dynamic::BuildTable() {
    ReleaseTable();
    table_ = std::make_unique<uint32_t[]>(256);
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t entry = i;
        for (int bit = 0; bit < 8; ++bit) {
            entry = (entry & 1) != 0 ? (entry >> 1) ^ kPolynomial : entry >> 1;
        }
        table_[i] = entry;
    }
}

void CCrc32Dynamic::ReleaseTable() {
    table_.reset();
}

template <typename Compute>
uint32_t CCrc32Dynamic::WithTable(uint32_t& crc32, Compute compute) const {
    if (table_ == nullptr) {
        crc32 = 0;
        return kCrc32ErrorTableMissing;
    }
    return compute([this](uint32_t crc_register, const uint8_t* data, size_t size) {
        return AddBytes(crc_register, data, size);
    });
}

uint32_t CCrc32Dynamic::TextChecksum(const std::string& text, uint32_t& crc32) const {
    return WithTable(crc32,
                     [&](const Crc32Step& step) { return Crc32OfTextLowBytes(text, crc32, step); });
}

uint32_t CCrc32Dynamic::UnsupportedChecksum(const std::string& /*unused*/,
                                            uint32_t& /*crc32*/) const {
    return kCrc32ErrorNotSupported;
}

uint32_t CCrc32Dynamic::FileChecksum(const std::string& path, uint32_t& crc32) const {
    return WithTable(crc32,
                     [&](const Crc32Step& step) { return Crc32OfFileInPieces(path, crc32, step); });
}

uint32_t CCrc32Dynamic::FileChecksumBlocks(const std::string& path, uint32_t& crc32) const {
    return WithTable(crc32,
                     [&](const Crc32Step& step) { return Crc32OfFileInPieces(path, crc32, step); });
}

uint32_t CCrc32Dynamic::FileChecksumMapped(const std::string& path, uint32_t& crc32) const {
    return WithTable(crc32,
                     [&](const Crc32Step& step) { return Crc32OfFileMapped(path, crc32, step); });
}

uint32_t CCrc32Dynamic::BufferChecksum(const void* data, size_t size) {
    if (table_ == nullptr) {
        BuildTable();
    }
    return ~AddBytes(0xFFFFFFFF, static_cast<const uint8_t*>(data), size);
}

bool CCrc32Dynamic::QueryFileSize(const platform::ReadOnlyFile& file, uint64_t& size) const {
    return QueryCrc32FileSize(file, size);
}

void CCrc32Dynamic::AddByte(uint8_t byte, uint32_t& crc32) const {
    if (table_ != nullptr) {
        crc32 = AddBytes(crc32, &byte, 1);
    }
}

uint32_t CCrc32Dynamic::AddBytes(uint32_t crc_register, const uint8_t* data, size_t size) const {
    for (size_t i = 0; i < size; ++i) {
        crc_register = (crc_register >> 8) ^ table_[(crc_register ^ data[i]) & 0xFF];
    }
    return crc_register;
}

}  // namespace ruzd::foundation
