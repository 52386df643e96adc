#pragma once

// The version an executable carries in its "RUZD" ELF note (type 1: four 16-bit numbers), as a
// Windows program's version resource is read from its file.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace ruzd::platform {

using FileVersion = std::array<uint16_t, 4>;

// None when the file cannot be read, is no 64-bit ELF file or carries no such note.
std::optional<FileVersion> ReadVersionNote(const std::string& path);

}  // namespace ruzd::platform
