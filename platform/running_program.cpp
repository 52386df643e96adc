#include "platform/running_program.h"

#include <fstream>
#include <iterator>
#include <system_error>

namespace ruzd::platform {

std::filesystem::path RunningProgramPath() {
    std::error_code error;
    std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : path;
}

std::string RunningProgramBaseName() {
    return RunningProgramPath().stem().string();
}

std::vector<std::string> RunningProgramArguments() {
    std::ifstream file("/proc/self/cmdline", std::ios::binary);
    const std::string all((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // Each word ends with a NUL.
    std::vector<std::string> words;
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find('\0', start);
        if (end == std::string::npos) {
            end = all.size();
        }
        words.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return words;
}

}  // namespace ruzd::platform
