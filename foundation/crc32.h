#pragma once

// The standard reflected CRC-32 (polynomial 0xEDB88320, as zlib and Ethernet use it) of files,
// buffers and texts. The free functions compute with the static table (CCrc32Static);
// CCrc32Dynamic builds its own table at run time.
//
// The checking functions return a Win32 error code (0 success, 23 table not built, 24 file size
// not readable, 50 unsupported, else the file system's code, 2 for a missing file) and leave
// the checksum in the caller's variable: it is the complement of the register on every way
// out, so a failure before any byte was read leaves 0. A read or view that fails part way
// returns its error, never success with the checksum of part of the file.
//
// Paths are Windows paths ("C:\VOX\A.VOX", ".\FileCache\A.VOX") in UTF-8.

#include <cstddef>
#include <cstdint>
#include <string>

namespace ruzd::foundation {

// Each character of the text (a UTF-16 code unit) contributes its low byte only.
uint32_t GetStringCrc32(const std::string& text, uint32_t& crc32);
// Always 50 (not supported); the checksum variable is not touched.
uint32_t GetCrc32Unsupported(const std::string& unused, uint32_t& crc32);
// The whole file read in pieces of 64 KiB.
uint32_t GetFileCrc32(const std::string& path, uint32_t& crc32);
// The whole file read through mapped views of at most 10 MiB each.
uint32_t GetFileCrc32Mapped(const std::string& path, uint32_t& crc32);
// The same contract and reading as GetFileCrc32.
uint32_t GetFileCrc32Blocks(const std::string& path, uint32_t& crc32);
// The checksum itself.
uint32_t GetBufferCrc32(const void* data, size_t size);

}  // namespace ruzd::foundation
