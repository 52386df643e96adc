#pragma once

// The debug files on disk: the log's folder prefix is a Windows path ("C:\Ruzd\Debug\Tav"),
// mapped to a host path only where a file is opened, listed or deleted.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ruzd::foundation {

struct DebugFolderEntry {
    std::string windows_path;
    std::filesystem::path host_path;
    uint64_t size = 0;
    // The last write on the file system's (real) clock.
    std::filesystem::file_time_type written{};
};

// The debug files that belong to `folder_prefix`: the plain files of its folder whose names
// start with the prefix's last component and end in ".deb" (letters in any case), the oldest
// first (by their last write; names break ties).
std::vector<DebugFolderEntry> ListDebugFiles(const std::string& folder_prefix);

struct DebugTrimRules {
    uint32_t max_files = 0;  // 0: any number
    uint64_t max_bytes = 0;  // 0: any size
    // The file being written: never deleted.
    std::string current_path;
    // Files last written this recently by the real clock are never deleted for their number:
    // the log's clock (UTC minus the server's time shift) may jump and open many files in a
    // short time, and those jumps must not push out the files of the present.
    std::chrono::seconds recent{0};
};

// Deletes the oldest debug files (by their last write) until at most `max_files` remain and
// all together hold at most `max_bytes`. Stops at the first file that cannot be deleted; the
// next trim tries again. The result is the bytes the files kept hold.
uint64_t TrimDebugFiles(const std::string& folder_prefix, const DebugTrimRules& rules);

}  // namespace ruzd::foundation
