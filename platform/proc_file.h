#pragma once

// The files the kernel keeps about a process under /proc/<pid>/.

#include <cstdint>
#include <string>
#include <string_view>

namespace ruzd::platform {

// "/proc/<pid>/<name>".
std::string ProcFilePath(uint32_t pid, std::string_view name);

// The whole content of /proc/<pid>/<name>; empty when it cannot be read.
std::string ReadProcFile(uint32_t pid, std::string_view name);

}  // namespace ruzd::platform
