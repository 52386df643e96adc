#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "foundation/utilities.h"
#include "platform/crt_folder.h"
#include "platform/file_handle.h"
#include "platform/win_path.h"

namespace ruzd::foundation {
namespace {

namespace fs = std::filesystem;

constexpr size_t kCopyChunk = 4096;
constexpr int kUniqueFolderTries = 99;
// Far beyond any real run of copies; keeps the doubling from overflowing.
constexpr int64_t kMaxUniqueNumber = int64_t{1} << 40;

// A suffix format with exactly one conversion, and that one an integer conversion, with its
// length modifier dropped so that it takes an int; none for any other format (a text, a second
// number or none at all would read arguments that are not there).
std::optional<std::string> IntegerSuffixFormat(std::string_view format) {
    std::string plain;
    int conversions = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        plain.push_back(format[i]);
        if (format[i] != '%') {
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            plain.push_back(format[++i]);
            continue;
        }
        ++i;
        while (i < format.size() &&
               std::string_view("-+ #0'").find(format[i]) != std::string_view::npos) {
            plain.push_back(format[i++]);
        }
        while (i < format.size() && ((format[i] >= '0' && format[i] <= '9') || format[i] == '.')) {
            plain.push_back(format[i++]);
        }
        while (i < format.size() &&
               std::string_view("hljzt").find(format[i]) != std::string_view::npos) {
            ++i;  // the number is always an int
        }
        if (i >= format.size() ||
            std::string_view("diouxX").find(format[i]) == std::string_view::npos) {
            return std::nullopt;
        }
        plain.push_back(format[i]);
        ++conversions;
    }
    if (conversions != 1) {
        return std::nullopt;
    }
    return plain;
}

std::string FormatNumber(const std::string& format, int number) {
    const int length = std::snprintf(nullptr, 0, format.c_str(), number);
    if (length < 0) {
        return {};
    }
    std::vector<char> text(static_cast<size_t>(length) + 1);
    std::snprintf(text.data(), text.size(), format.c_str(), number);
    return std::string(text.data(), static_cast<size_t>(length));
}

bool Exists(const fs::path& path) {
    std::error_code error;
    return !path.empty() && fs::exists(path, error);
}

// Whether `inner` is `outer` or lies below it.
bool IsWithin(const fs::path& inner, const fs::path& outer) {
    std::error_code error;
    const fs::path a = fs::weakly_canonical(inner, error);
    const fs::path b = fs::weakly_canonical(outer, error);
    auto [end_b, end_a] = std::mismatch(b.begin(), b.end(), a.begin(), a.end());
    return end_b == b.end();
}

}  // namespace

bool CUtilities::CopyFileStream(const std::string& source, const std::string& target) {
    if (source.empty() || target.empty()) {
        return false;
    }
    std::error_code error;
    if (fs::equivalent(platform::MapWindowsPath(source), platform::MapWindowsPath(target), error)) {
        return false;  // emptying the target would lose the source
    }
    const int32_t from = platform::OpenFileForReading(source);
    if (from < 0) {
        return false;
    }
    const int32_t to = platform::CreateFileForWriting(target);
    bool copied = to >= 0;
    std::vector<uint8_t> chunk(kCopyChunk);
    while (copied) {
        const std::optional<size_t> read = platform::ReadFileSome(from, chunk.data(), chunk.size());
        if (!read || *read == 0) {
            copied = read.has_value();
            break;
        }
        copied = platform::WriteFileWhole(to, chunk.data(), *read);
    }
    platform::CloseFileHandle(from);
    platform::CloseFileHandle(to);
    return copied;
}

bool CUtilities::DeleteFolder(const std::string& folder) {
    const fs::path path = folder.empty() ? fs::path() : platform::MapWindowsPath(folder);
    std::error_code error;
    if (path.empty() || !fs::is_directory(path, error)) {
        return false;
    }
    fs::directory_iterator items(path, error);
    for (; !error && items != fs::directory_iterator(); items.increment(error)) {
        std::error_code removed;
        fs::remove_all(items->path(), removed);
        if (removed) {
            return false;
        }
    }
    return !error && fs::remove(path, error);
}

bool CUtilities::CreateFolderTree(const std::string& folder) {
    const fs::path path = folder.empty() ? fs::path() : platform::MapWindowsPath(folder);
    if (path.empty()) {
        return false;
    }
    std::error_code error;
    fs::create_directories(path, error);
    return fs::is_directory(path, error);
}

std::string CUtilities::CreateUniqueFolder(const std::string& folder,
                                           const std::string& suffix_format) {
    const std::optional<std::string> suffix = IntegerSuffixFormat(suffix_format);
    if (!suffix || folder.empty()) {
        return {};
    }
    if (!FileExists(folder)) {
        return CreateFolderTree(folder) ? folder : std::string();
    }
    for (int number = 1; number <= kUniqueFolderTries; ++number) {
        const std::string candidate = folder + FormatNumber(*suffix, number);
        const int error = platform::CrtMakeFolder(candidate);
        if (error == 0) {
            return candidate;
        }
        if (error != platform::kCrtErrnoExists) {
            return {};
        }
    }
    return {};
}

bool CUtilities::CopyFolder(const std::string& source, const std::string& target) {
    if (source.empty() || target.empty()) {
        return false;
    }
    const fs::path from = platform::MapWindowsPath(source);
    const fs::path to = platform::MapWindowsPath(target);
    std::error_code error;
    if (from.empty() || to.empty() || !fs::is_directory(from, error) || IsWithin(to, from)) {
        return false;  // a copy into itself would never end
    }
    fs::create_directories(to, error);
    if (!fs::is_directory(to, error)) {
        return false;
    }
    fs::copy(from, to,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing |
                 fs::copy_options::copy_symlinks,
             error);
    return !error;
}

void CUtilities::MakeUniqueFileName(std::string& path) {
    if (!FileExists(path)) {
        return;
    }
    const size_t separator = path.find_last_of("\\/:");
    const size_t name_start = separator == std::string::npos ? 0 : separator + 1;
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < name_start) {
        dot = path.size();
    }
    const std::string stem = path.substr(0, dot);
    const std::string extension = path.substr(dot);
    auto numbered = [&](int64_t number) {
        return stem + " (" + std::to_string(number) + ")" + extension;
    };
    int64_t low = 1;
    int64_t high = 2;
    while (high < kMaxUniqueNumber && FileExists(numbered(high))) {
        low = high;
        high *= 2;
    }
    while (high > low + 1) {
        const int64_t middle = (low + high) / 2;
        if (FileExists(numbered(middle))) {
            low = middle;
        } else {
            high = middle;
        }
    }
    path = numbered(high);
}

bool CUtilities::FileExists(const std::string& path) {
    return !path.empty() && Exists(platform::MapWindowsPath(path));
}

bool CUtilities::IsFolder(const std::string& path) {
    std::error_code error;
    return !path.empty() && fs::is_directory(platform::MapWindowsPath(path), error);
}

}  // namespace ruzd::foundation
