#pragma once

// The debug files on disk: the log's folder prefix is a Windows path ("C:\Ruzd\Debug\Tav"),
// mapped to a host path only where a file is opened, listed or deleted.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ruzd::foundation {

struct DebugFolderEntry {
    std::string windows_path;
    std::filesystem::path host_path;
};

// The debug files that belong to `folder_prefix`: the plain files of its folder whose names
// start with the prefix's last component and end in ".deb" (letters in any case), the oldest
// first (by their last write; names break ties).
std::vector<DebugFolderEntry> ListDebugFiles(const std::string& folder_prefix);

// Deletes the oldest debug files until at most `max_files` remain (0 keeps all). Stops at the
// first file that cannot be deleted; the next close tries again.
void TrimDebugFiles(const std::string& folder_prefix, uint32_t max_files);

}  // namespace ruzd::foundation
