#pragma once

// Where the running program's executable lies, as the kernel reports it.

#include <filesystem>
#include <string>

namespace ruzd::foundation {

// Full path of the running executable; empty when it cannot be read.
std::filesystem::path RunningProgramPath();

// Its file name without folder and extension ("Pelwix"); empty when the path cannot be read.
std::string RunningProgramBaseName();

}  // namespace ruzd::foundation
