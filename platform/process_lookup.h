#pragma once

// Finding a running program by its executable's name, as Windows names processes: the name
// with ".exe", compared without regard to case. Only live processes of this machine's platform
// root count (their RUZD_ROOT, or the default when they have none, is ours), so that a test never
// finds another test's program, nor a test a real one; and only those of the calling process's
// own user (platform/process_identity.h), so that a program of that name started by another
// account is never taken for ours. The calling process never finds itself.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ruzd::platform {

// The first such process named `windows_name` ("Glimbor.exe"); none when there is none.
std::optional<uint32_t> FindProcessByName(std::string_view windows_name);

// The file name of the process's executable; none when it cannot be read.
std::optional<std::string> ProcessExecutableName(uint32_t pid);

}  // namespace ruzd::platform
