#pragma once

// The C run time's low-level file functions (_open, _read, _write, _lseek, _close, _wchmod)
// for files named by Windows paths, with the run time's flags and permission bits
// (platform/crt_flags.h). Handles are POSIX descriptors. A failure returns -1 and leaves the
// Win32 code as the thread's last error (and errno as the C library set it).

#include <cstdint>
#include <string_view>

namespace ruzd::platform {

// The new handle, or -1 (also for flags that cannot be honoured, a path that cannot name a
// file, and one that names no regular file: a FIFO, a device, a folder).
int32_t CrtOpen(std::string_view windows_path, uint32_t crt_flags, uint32_t crt_permission);
// Bytes read (0 at the end of the file), or -1.
int32_t CrtRead(int32_t handle, void* buffer, uint32_t count);
// Bytes written, or -1; goes on after interruptions and short writes until all is written or
// a write fails.
int32_t CrtWrite(int32_t handle, const void* buffer, uint32_t count);
// The new position, or -1; `whence` is SEEK_SET, SEEK_CUR or SEEK_END (0, 1, 2).
int32_t CrtLseek(int32_t handle, int32_t offset, int32_t whence);
// 0, or -1.
int32_t CrtClose(int32_t handle);
// The calling thread's errno as the last failed run-time call left it.
int32_t CrtErrno();
// Makes the file read-only (no write bits) or writable by its owner, as _S_IWRITE is missing
// or given (_wchmod): 0, or -1.
int32_t CrtChmod(std::string_view windows_path, uint32_t crt_permission);

}  // namespace ruzd::platform
