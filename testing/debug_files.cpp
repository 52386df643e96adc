#include "testing/debug_files.h"

#include <fstream>
#include <iterator>

namespace ruzd::testing {

std::vector<std::string> ReadCrlfLines(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(bytes.substr(start, end - start));
    }
    return lines;
}

std::vector<std::string> DebugLines(const std::filesystem::path& folder) {
    std::vector<std::string> lines;
    for (const std::filesystem::directory_entry& entry :
         std::filesystem::directory_iterator(folder)) {
        for (std::string& line : ReadCrlfLines(entry.path())) {
            lines.push_back(std::move(line));
        }
    }
    return lines;
}

}  // namespace ruzd::testing
