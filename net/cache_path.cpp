#include "net/cache_path.h"

#include <string>

#include "platform/text.h"
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

std::optional<std::string> CacheNameOfCentralPath(std::string_view centralPath) {
    std::string name = platform::AsciiUpper(centralPath);
    if (name.starts_with("\\\\")) {
        name.erase(0, 2);
    } else {
        std::erase(name, ':');
    }
    if (!IsContainedName(name)) {
        return std::nullopt;
    }
    return name;
}

std::optional<std::string> CachePathOfCentralPath(std::string_view centralPath) {
    std::optional<std::string> name = CacheNameOfCentralPath(centralPath);
    if (!name) {
        return std::nullopt;
    }
    return std::string(kFileCacheFolder) + "\\" + *name;
}

std::string CentralPathOfCacheName(std::string_view cacheName) {
    if (cacheName.size() < 3 || cacheName[1] != '\\') {
        return "\\\\" + std::string(cacheName);
    }
    return std::string(cacheName.substr(0, 1)) + ":" + std::string(cacheName.substr(1));
}

}  // namespace ruzd::net
