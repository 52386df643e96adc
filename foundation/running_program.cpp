#include "foundation/running_program.h"

#include <system_error>

namespace ruzd::foundation {

std::filesystem::path RunningProgramPath() {
    std::error_code error;
    std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : path;
}

std::string RunningProgramBaseName() {
    return RunningProgramPath().stem().string();
}

}  // namespace ruzd::foundation
