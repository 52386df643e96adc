#include "foundation/debug_folder.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <tuple>

#include "platform/text.h"
#include "platform/win_path.h"

namespace ruzd::foundation {
namespace {

// Splits "C:\Ruzd\Debug\Tav" into the folder "C:\Ruzd\Debug\" and the name prefix "Tav".
void SplitPrefix(const std::string& folder_prefix, std::string* folder, std::string* name) {
    const size_t cut = folder_prefix.find_last_of("\\/:");
    if (cut == std::string::npos) {
        folder->clear();
        *name = folder_prefix;
        return;
    }
    *folder = folder_prefix.substr(0, cut + 1);
    *name = folder_prefix.substr(cut + 1);
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           platform::EqualsIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           platform::EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

// The file's last write and size; false when the entry is not a plain file. The last write
// rather than the creation, which not every file system keeps: a debug file is written until
// its interval ends, so the two put the files in the same order.
bool FileFacts(const std::filesystem::path& path, std::filesystem::file_time_type* written,
               uint64_t* size) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return false;
    *written = std::filesystem::last_write_time(path, error);
    if (error)
        return false;
    *size = std::filesystem::file_size(path, error);
    if (error)
        *size = 0;
    return true;
}

}  // namespace

std::vector<DebugFolderEntry> ListDebugFiles(const std::string& folder_prefix) {
    std::string folder;
    std::string name_prefix;
    SplitPrefix(folder_prefix, &folder, &name_prefix);

    struct Found {
        std::filesystem::file_time_type written;
        std::string folded_name;
        std::string name;
        std::filesystem::path host_path;
        uint64_t size;
    };
    std::vector<Found> found;
    std::error_code error;
    std::filesystem::directory_iterator it(platform::MapWindowsPath(folder.empty() ? "." : folder),
                                           error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (!StartsWithIgnoringCase(name, name_prefix) || !EndsWithIgnoringCase(name, ".deb"))
            continue;
        std::filesystem::file_time_type written{};
        uint64_t size = 0;
        if (!FileFacts(it->path(), &written, &size))
            continue;
        found.push_back(Found{written, platform::AsciiLower(name), name, it->path(), size});
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return std::tie(a.written, a.folded_name) < std::tie(b.written, b.folded_name);
    });

    std::vector<DebugFolderEntry> entries;
    entries.reserve(found.size());
    for (Found& f : found)
        entries.push_back(
            DebugFolderEntry{folder + f.name, std::move(f.host_path), f.size, f.written});
    return entries;
}

uint64_t TrimDebugFiles(const std::string& folder_prefix, const DebugTrimRules& rules) {
    const std::vector<DebugFolderEntry> files = ListDebugFiles(folder_prefix);
    uint64_t total = 0;
    for (const DebugFolderEntry& file : files)
        total += file.size;
    const auto now = std::filesystem::file_time_type::clock::now();
    const std::string current = platform::AsciiLower(rules.current_path);
    size_t left = files.size();
    for (const DebugFolderEntry& file : files) {
        const bool too_many =
            rules.max_files != 0 && left > rules.max_files && now - file.written >= rules.recent;
        const bool too_big = rules.max_bytes != 0 && total > rules.max_bytes;
        if (!too_many && !too_big)
            continue;
        if (platform::AsciiLower(file.windows_path) == current)
            continue;
        std::error_code error;
        if (!std::filesystem::remove(file.host_path, error))
            break;
        total -= file.size;
        --left;
    }
    return total;
}

}  // namespace ruzd::foundation
