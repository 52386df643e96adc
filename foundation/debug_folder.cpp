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

// Nanoseconds of the file's last write on the file clock; false when the entry is not a plain
// file. The last write rather than the creation, which not every file system keeps: a debug
// file is written until its interval ends, so the two put the files in the same order.
bool FileAge(const std::filesystem::path& path, int64_t* nanos) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return false;
    const std::filesystem::file_time_type written = std::filesystem::last_write_time(path, error);
    if (error)
        return false;
    *nanos =
        std::chrono::duration_cast<std::chrono::nanoseconds>(written.time_since_epoch()).count();
    return true;
}

}  // namespace

std::vector<DebugFolderEntry> ListDebugFiles(const std::string& folder_prefix) {
    std::string folder;
    std::string name_prefix;
    SplitPrefix(folder_prefix, &folder, &name_prefix);

    struct Found {
        int64_t age;
        std::string folded_name;
        std::string name;
        std::filesystem::path host_path;
    };
    std::vector<Found> found;
    std::error_code error;
    std::filesystem::directory_iterator it(platform::MapWindowsPath(folder.empty() ? "." : folder),
                                           error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (!StartsWithIgnoringCase(name, name_prefix) || !EndsWithIgnoringCase(name, ".deb"))
            continue;
        int64_t age = 0;
        if (!FileAge(it->path(), &age))
            continue;
        found.push_back(Found{age, platform::AsciiLower(name), name, it->path()});
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return std::tie(a.age, a.folded_name) < std::tie(b.age, b.folded_name);
    });

    std::vector<DebugFolderEntry> entries;
    entries.reserve(found.size());
    for (Found& f : found)
        entries.push_back(DebugFolderEntry{folder + f.name, std::move(f.host_path)});
    return entries;
}

void TrimDebugFiles(const std::string& folder_prefix, uint32_t max_files) {
    if (max_files == 0)
        return;
    const std::vector<DebugFolderEntry> files = ListDebugFiles(folder_prefix);
    for (size_t i = 0; files.size() - i > max_files; ++i) {
        std::error_code error;
        if (!std::filesystem::remove(files[i].host_path, error))
            return;
    }
}

}  // namespace ruzd::foundation
