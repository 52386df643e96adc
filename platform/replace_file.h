#pragma once

// Replacing a file as one step: the new content is written whole to a scratch file, flushed to
// the disk and renamed onto the file, so that a reader, or the program after a crash or a power
// cut, finds either the old content or the whole new one, never a part of either.

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace ruzd::platform {

// Writes `size` bytes into a new file in `scratchFolder` (made when missing; it must lie on the
// file system of `path`), flushes it and renames it onto `path`, keeping the permissions of a
// file that was there. 0, or the Win32 code of the failure (the scratch file is then gone).
uint32_t ReplaceFileDurably(const std::filesystem::path& path, const void* data, size_t size,
                            const std::filesystem::path& scratchFolder);

}  // namespace ruzd::platform
