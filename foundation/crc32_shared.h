#pragma once

// What the two CRC-32 classes share: the reading of texts and files and the result codes. Each
// class hands over its way of adding bytes to the register (the register as the algorithm
// keeps it: started at 0xFFFFFFFF, complemented only at the end).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/read_only_file.h"

namespace ruzd::foundation {

inline constexpr uint32_t kCrc32ErrorTableMissing = 23;  // ERROR_CRC
inline constexpr uint32_t kCrc32ErrorBadLength = 24;     // ERROR_BAD_LENGTH
inline constexpr uint32_t kCrc32ErrorNotSupported = 50;  // ERROR_NOT_SUPPORTED

using Crc32Step = std::function<uint32_t(uint32_t crc_register, const uint8_t* data, size_t size)>;

// Each UTF-16 code unit of the text contributes its low byte.
uint32_t Crc32OfTextLowBytes(const std::string& text, uint32_t& crc32, const Crc32Step& step);
// The whole file in pieces of 64 KiB.
uint32_t Crc32OfFileInPieces(const std::string& path, uint32_t& crc32, const Crc32Step& step);
// The whole file through views of at most 10 MiB.
uint32_t Crc32OfFileMapped(const std::string& path, uint32_t& crc32, const Crc32Step& step);
// The open file's size; false (size 0) when it cannot be read.
bool QueryCrc32FileSize(const platform::ReadOnlyFile& file, uint64_t& size);

}  // namespace ruzd::foundation
