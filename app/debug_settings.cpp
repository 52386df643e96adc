#include "app/debug_settings.h"

#include <filesystem>
#include <mutex>
#include <set>
#include <string_view>
#include <system_error>

#include "foundation/debug_channel.h"
#include "foundation/registry.h"
#include "node/manager_log.h"
#include "node/vesmarin_manager.h"
#include "platform/error_output.h"
#include "platform/registry_store.h"
#include "platform/root_problem.h"
#include "platform/win_path.h"

namespace ruzd::app {

namespace {

// A default written back each time the settings are read would say the same every time: once
// per start for each value, value and reason is enough. Nothing is said for a platform root or a
// registry file that the start refuses (with its reason) anyway.
void SayNotSaved(std::string_view name, std::string_view value, const std::string& problem) {
    if (platform::RootProblem() || platform::RegistryStore::Problem()) {
        return;
    }
    static std::mutex lock;
    static std::set<std::string> said;
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!said.insert(std::string(name) + '\n' + std::string(value) + '\n' + problem).second) {
            return;
        }
    }
    const std::string line =
        "\"" + std::string(name) + "\" (" + std::string(value) + ") is not saved: " + problem;
    platform::WriteErrorLine(line);
    node::ManagerLog(foundation::kDebugChannelGeneral, foundation::kDebugNone, line);
}

uint32_t ReadOrWriteBack(foundation::CRegistry& registry, const char* name, uint32_t fallback) {
    uint32_t value = 0;
    if (registry.ReadDword(name, &value)) {
        return value;
    }
    // A user's line of another type stays, as the start-up check of the registry has said; any
    // other failure is said by the registry's reporter.
    registry.WriteDword(name, fallback);
    return fallback;
}

// What a user asked for replaces the value whatever its type; a failure is said. A value the
// registry holds already is left alone.
void Save(foundation::CRegistry& registry, const char* name, uint32_t value) {
    uint32_t stored = 0;
    if (registry.ReadDword(name, &stored) && stored == value) {
        return;
    }
    registry.ReplaceDword(name, value);  // a failure is said by the registry's reporter
}

void Save(foundation::CRegistry& registry, const char* name, const std::string& value) {
    std::string stored;
    if (registry.ReadString(name, stored) && stored == value) {
        return;
    }
    registry.ReplaceString(name, value);  // a failure is said by the registry's reporter
}

std::string WithBackslash(std::string path) {
    if (path.empty() || (path.back() != '\\' && path.back() != '/')) {
        path += '\\';
    }
    return path;
}

}  // namespace

void ReportRegistryWriteFailures() {
    foundation::SetRegistryWriteFailureReporter(SayNotSaved);
}

bool CreateDebugDirectory(const std::string& directory) {
    const std::filesystem::path host = platform::MapWindowsPath(directory);
    if (host.empty()) {
        return false;
    }
    std::error_code error;
    std::filesystem::create_directories(host, error);
    return std::filesystem::is_directory(host, error);
}

DebugSettings GetDebugSettingsFromRegistry() {
    foundation::CRegistry registry(node::kNodeRegistrySection);
    DebugSettings settings;
    settings.maxFilesToKeep = ReadOrWriteBack(registry, kMaxDebugFilesValue, kDefaultMaxDebugFiles);
    settings.fileType = ReadOrWriteBack(registry, kDebugFileTypeValue, 0);
    settings.folderMaxMB =
        ReadOrWriteBack(registry, kDebugFolderMaxMBValue, kDefaultDebugFolderMaxMB);
    std::string directory;
    if (registry.ReadString(kDebugDirectoryValue, directory) && !directory.empty()) {
        settings.directory = WithBackslash(directory.substr(0, 260));
    } else {
        // The working folder is named relatively, so that the log follows "-workingdir:".
        settings.directory = ".\\debug\\";
        CreateDebugDirectory(settings.directory);
    }
    return settings;
}

void WriteDebugSettingsToRegistry(const DebugSettings& settings) {
    foundation::CRegistry registry(node::kNodeRegistrySection);
    Save(registry, kMaxDebugFilesValue, settings.maxFilesToKeep);
    Save(registry, kDebugFileTypeValue, settings.fileType);
    Save(registry, kDebugFolderMaxMBValue, settings.folderMaxMB);
    Save(registry, kDebugDirectoryValue, settings.directory);
}

}  // namespace ruzd::app
