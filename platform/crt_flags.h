#pragma once

// The Windows C run-time's open flags and permission bits, as they travel on the wire from the
// central server, and their translation to POSIX open(2) flags and mode bits.

#include <sys/types.h>

#include <cstdint>
#include <optional>

namespace ruzd::platform {

// Access mode (the low two bits).
inline constexpr uint32_t kCrtReadOnly = 0x0000;   // _O_RDONLY
inline constexpr uint32_t kCrtWriteOnly = 0x0001;  // _O_WRONLY
inline constexpr uint32_t kCrtReadWrite = 0x0002;  // _O_RDWR
inline constexpr uint32_t kCrtAccessMask = 0x0003;

inline constexpr uint32_t kCrtAppend = 0x0008;      // _O_APPEND
inline constexpr uint32_t kCrtRandom = 0x0010;      // _O_RANDOM, a caching hint
inline constexpr uint32_t kCrtSequential = 0x0020;  // _O_SEQUENTIAL, a caching hint
inline constexpr uint32_t kCrtTemporary = 0x0040;   // _O_TEMPORARY, delete on last close
inline constexpr uint32_t kCrtNoInherit = 0x0080;   // _O_NOINHERIT
inline constexpr uint32_t kCrtCreate = 0x0100;      // _O_CREAT
inline constexpr uint32_t kCrtTruncate = 0x0200;    // _O_TRUNC
inline constexpr uint32_t kCrtExclusive = 0x0400;   // _O_EXCL
inline constexpr uint32_t kCrtShortLived = 0x1000;  // _O_SHORT_LIVED, a caching hint
inline constexpr uint32_t kCrtText = 0x4000;        // _O_TEXT
inline constexpr uint32_t kCrtBinary = 0x8000;      // _O_BINARY

inline constexpr uint32_t kCrtPermissionWrite = 0x0080;  // _S_IWRITE
inline constexpr uint32_t kCrtPermissionRead = 0x0100;   // _S_IREAD

// POSIX open flags for the run-time's flags, always with O_CLOEXEC (programs the node starts
// must not inherit its files). Refused (nullopt) are: bits outside the list above, the access
// mode 3, _O_TEMPORARY (delete-on-close has no POSIX flag and silently keeping the file would
// be wrong), _O_TEXT together with _O_BINARY, and _O_TRUNC without write access (Windows fails
// that open, Linux would truncate the file). The caching hints and _O_NOINHERIT are accepted
// and need nothing more. _O_TEXT and _O_BINARY select no flag: a POSIX file has one mode, and
// the file layers above read and write bytes. _O_EXCL without _O_CREAT is dropped, as Windows
// ignores it.
std::optional<int> CrtOpenFlagsToPosix(uint32_t crt_flags);

// Mode bits for open(2) with O_CREAT, or chmod(2), from _S_IREAD / _S_IWRITE. Windows has only
// a read-only attribute: a file is always readable, and writable when _S_IWRITE is given, so
// the result is 0666 or 0444 (open applies the umask). Other bits are ignored.
mode_t CrtPermissionToPosix(uint32_t crt_mode);

}  // namespace ruzd::platform
