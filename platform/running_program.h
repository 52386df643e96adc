#pragma once

// The running program: where its executable lies and what it was started with, as the kernel
// reports them.

#include <filesystem>
#include <string>
#include <vector>

namespace ruzd::platform {

// Full path of the running executable; empty when it cannot be read.
std::filesystem::path RunningProgramPath();

// Its file name without folder and extension ("Pelwix"); empty when the path cannot be read.
std::string RunningProgramBaseName();

// The words of the command line the process was started with, the program first.
std::vector<std::string> RunningProgramArguments();

}  // namespace ruzd::platform
