#include "foundation/zip_entry_header.h"

namespace ruzd::foundation {
namespace {

constexpr uint16_t kLocalExtraSize = 17;
constexpr uint16_t kCentralExtraSize = 9;
constexpr uint8_t kAllThreeTimes = 7;

void Put16(std::string& out, uint32_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void Put32(std::string& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

void PutTimeStampHead(std::string& out, uint16_t data_size) {
    out += "UT";
    Put16(out, data_size);
    out.push_back(static_cast<char>(kAllThreeTimes));
}

}  // namespace

// From the version needed to the name's length, the fields both headers share.
void ZipEntryHeader::PutSharedFields(std::string& out) const {
    Put16(out, kZipVersionNeeded);
    Put16(out, flags);
    Put16(out, method);
    Put16(out, dos_time);
    Put16(out, dos_date);
    Put32(out, crc32);
    Put32(out, compressed_size);
    Put32(out, uncompressed_size);
    Put16(out, static_cast<uint32_t>(name.size()));
}

std::string ZipEntryHeader::LocalHeader() const {
    std::string out = "PK\x03\x04";
    PutSharedFields(out);
    Put16(out, kLocalExtraSize);
    out += name;
    PutTimeStampHead(out, kLocalExtraSize - 4);
    Put32(out, modification_time);
    Put32(out, access_time);
    Put32(out, creation_time);
    return out;
}

std::string ZipEntryHeader::DataDescriptor() const {
    std::string out = "PK\x07\x08";
    Put32(out, crc32);
    Put32(out, compressed_size);
    Put32(out, uncompressed_size);
    return out;
}

std::string ZipEntryHeader::CentralHeader() const {
    std::string out = "PK\x01\x02";
    Put16(out, kZipVersionMadeBy);
    PutSharedFields(out);
    Put16(out, kCentralExtraSize);
    Put16(out, 0);  // comment length
    Put16(out, 0);  // disk number
    Put16(out, internal_attributes);
    Put32(out, external_attributes);
    Put32(out, local_header_offset);
    out += name;
    PutTimeStampHead(out, kCentralExtraSize - 4);
    Put32(out, modification_time);
    return out;
}

std::string ZipEndRecord(uint16_t entries, uint32_t directory_size, uint32_t directory_offset) {
    std::string out = "PK\x05\x06";
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, entries);
    Put16(out, entries);
    Put32(out, directory_size);
    Put32(out, directory_offset);
    Put16(out, 0);
    return out;
}

}  // namespace ruzd::foundation
