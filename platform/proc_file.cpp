#include "platform/proc_file.h"

#include <fstream>
#include <sstream>

namespace ruzd::platform {

std::string ProcFilePath(uint32_t pid, std::string_view name) {
    return "/proc/" + std::to_string(pid) + "/" + std::string(name);
}

std::string ReadProcFile(uint32_t pid, std::string_view name) {
    std::ifstream file(ProcFilePath(pid, name), std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

}  // namespace ruzd::platform
