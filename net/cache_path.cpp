#include "net/cache_path.h"

#include <string>

#include "platform/win_path.h"

namespace ruzd::net {
namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// Separators as '\', runs of them as one, and leading ".\" dropped.
std::string Normalise(std::string_view path) {
    std::string text;
    for (char c : path) {
        if (IsSeparator(c)) {
            if (!text.empty() && text.back() == '\\') {
                continue;
            }
            c = '\\';
        }
        text += c;
    }
    while (text.size() >= 2 && text[0] == '.' && text[1] == '\\') {
        text.erase(0, 2);
    }
    while (!text.empty() && text.back() == '\\') {
        text.pop_back();
    }
    return text;
}

}  // namespace

std::optional<std::filesystem::path> MapPathInsideFolder(std::string_view folder,
                                                         std::string_view windowsPath) {
    const std::string base = Normalise(folder);
    const std::string path = Normalise(windowsPath);
    if (path.size() <= base.size() + 1 || path[base.size()] != '\\' ||
        platform::FoldWindowsNameCase(path.substr(0, base.size())) !=
            platform::FoldWindowsNameCase(base)) {
        return std::nullopt;
    }
    const std::string_view rest = std::string_view(path).substr(base.size() + 1);
    if (!IsContainedName(rest)) {
        return std::nullopt;
    }
    return platform::MapWindowsPathWithin(platform::MapWindowsPath(folder), rest);
}

bool IsContainedName(std::string_view name) {
    if (name.empty() || IsSeparator(name.front()) || name.find(':') != std::string_view::npos ||
        name.find('\0') != std::string_view::npos) {
        return false;
    }
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !IsSeparator(name[end])) {
            ++end;
        }
        if (name.substr(start, end - start) == "..") {
            return false;
        }
        start = end + 1;
    }
    return true;
}

}  // namespace ruzd::net
