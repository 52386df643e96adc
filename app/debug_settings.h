#pragma once

// The node's debug settings: where its debug files go, how often a new one starts, how many are
// kept and how much they may hold, whether logging is on and the trace level. The first four
// live in the node's registry section.

#include <cstdint>
#include <string>

namespace ruzd::app {

struct DebugSettings {
    std::string directory;  // Windows form, ending with '\'
    uint32_t maxFilesToKeep = 0;
    uint32_t folderMaxMB = 0;  // what the files may hold together (0: no bound)
    uint32_t fileType = 0;     // the rotation interval code, 0 to 5
    int32_t enabled = 0;
    int32_t traceLevel = 0;

    bool operator==(const DebugSettings&) const = default;
};

inline constexpr const char* kMaxDebugFilesValue = "Max Debug Files To Keep";
inline constexpr const char* kDebugFileTypeValue = "Debug File Type";
inline constexpr const char* kDebugDirectoryValue = "Debug Directory";
inline constexpr uint32_t kDefaultMaxDebugFiles = 1000;
inline constexpr const char* kDebugFolderMaxMBValue = "Debug Folder Max MB";
inline constexpr uint32_t kDefaultDebugFolderMaxMB = 1024;
// The log's file names start with this, behind the directory.
inline constexpr const char* kDebugFilePrefix = "Tav";

// Directory, number of files and file type from the registry. Missing numbers are written back
// with their defaults (a write that fails is said once per start); a missing or empty directory
// is the "debug" folder of the working folder, created when missing and not written back.
DebugSettings GetDebugSettingsFromRegistry();
// Saves what a user asked for over the values of any type (one the registry holds already is
// not written again); each value that could not be saved is said on stderr and in the log,
// naming it and why.
void WriteDebugSettingsToRegistry(const DebugSettings& settings);

// Makes every registry write of the node that fails say so, on stderr and in the debug log,
// naming the value and why (once per start for the same value and reason).
void ReportRegistryWriteFailures();

// Creates the debug directory (a Windows path) with its parents; true when it exists afterwards.
bool CreateDebugDirectory(const std::string& directory);

}  // namespace ruzd::app
