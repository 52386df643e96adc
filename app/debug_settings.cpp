#include "app/debug_settings.h"

#include <filesystem>
#include <system_error>

#include "foundation/registry.h"
#include "node/vesmarin_manager.h"
#include "platform/win_path.h"

namespace ruzd::app {

namespace {

uint32_t ReadOrWriteBack(foundation::CRegistry& registry, const char* name, uint32_t fallback) {
    uint32_t value = 0;
    if (registry.ReadDword(name, &value)) {
        return value;
    }
    registry.WriteDword(name, fallback);
    return fallback;
}

std::string WithBackslash(std::string path) {
    if (path.empty() || (path.back() != '\\' && path.back() != '/')) {
        path += '\\';
    }
    return path;
}

}  // namespace

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
    registry.WriteDword(kMaxDebugFilesValue, settings.maxFilesToKeep);
    registry.WriteDword(kDebugFileTypeValue, settings.fileType);
    registry.WriteDword(kDebugFolderMaxMBValue, settings.folderMaxMB);
    registry.WriteString(kDebugDirectoryValue, settings.directory);
}

}  // namespace ruzd::app
