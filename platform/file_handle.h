#pragma once

// Files by descriptor, as Windows code works with file handles: opened by their Windows path,
// duplicated, read at a position or as they come, written whole, their facts read and their
// times set. A failure leaves the Win32 code of the failure as the thread's last error.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/clock.h"

namespace ruzd::platform {

// What the file system says of an open file.
struct FileFacts {
    bool is_disk_file = false;  // a regular file, which can seek
    bool is_folder = false;
    bool owner_can_write = false;
    bool owner_can_execute = false;
    uint64_t size = 0;
    WallTime access_time{};
    WallTime modification_time{};
};

// Both opens take only a regular file: a FIFO or a device in its place is refused at once
// (platform/regular_file.h), never waited on.

// Opens an existing file for reading: the descriptor, or -1 (a folder is refused, as Windows
// refuses to open it as a file).
int32_t OpenFileForReading(std::string_view windows_path);

// Creates the file, or empties the one there, for writing (readable by all, writable by the
// owner, as the user's file mode allows): the descriptor, or -1.
int32_t CreateFileForWriting(std::string_view windows_path);

// A second descriptor of the same open file (sharing its position), not inherited by child
// processes; -1 on failure.
int32_t DuplicateFileHandle(int32_t handle);

void CloseFileHandle(int32_t handle);

std::optional<FileFacts> FileFactsOf(int32_t handle);

// Reads up to `size` bytes at `offset` without moving the file's position, going on after
// interruptions and short reads: the count read (less only at the end of the file), or none.
std::optional<size_t> ReadFileAt(int32_t handle, uint64_t offset, void* buffer, size_t size);

// Reads up to `size` bytes at the current position, going on after interruptions: the count
// read (0 at the end), or none.
std::optional<size_t> ReadFileSome(int32_t handle, void* buffer, size_t size);

// Writes all of the bytes at the current position; false on failure.
bool WriteFileWhole(int32_t handle, const void* data, size_t size);

// Writes all of the bytes at `offset` without moving the file's position; false on failure.
bool WriteFileAt(int32_t handle, uint64_t offset, const void* data, size_t size);

// The current position of a file that can seek; none for one that cannot (a pipe, a socket).
std::optional<uint64_t> FilePosition(int32_t handle);

// Sets the file's access and modification times; false on failure.
bool SetFileTimes(int32_t handle, WallTime access_time, WallTime modification_time);

}  // namespace ruzd::platform
