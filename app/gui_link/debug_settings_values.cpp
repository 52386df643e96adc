#include "app/gui_link/debug_settings_values.h"

#include <filesystem>
#include <system_error>

#include "platform/win_path.h"

namespace ruzd::app {

void WriteDebugSettingsValues(net::COutputStreamSocket& writer, const DebugSettings& settings) {
    writer.WriteInt(settings.enabled)
        .WriteInt(settings.traceLevel)
        .WriteString(settings.directory)
        .WriteInt(static_cast<int32_t>(settings.maxFilesToKeep))
        .WriteInt(static_cast<int32_t>(settings.fileType));
}

std::optional<DebugSettings> ReadDebugSettingsValues(net::CInputStreamSocket& reader) {
    DebugSettings settings;
    int32_t maxFiles = 0;
    int32_t fileType = 0;
    reader.ReadInt(settings.enabled).ReadInt(settings.traceLevel).ReadString(settings.directory);
    reader.ReadNonNegative(maxFiles).ReadNonNegative(fileType);
    if (!reader.IsOk()) {
        return std::nullopt;
    }
    settings.maxFilesToKeep = static_cast<uint32_t>(maxFiles);
    settings.fileType = static_cast<uint32_t>(fileType);
    return settings;
}

namespace {

std::string WithoutTrailingSeparators(std::string path) {
    while (!path.empty() && (path.back() == '\\' || path.back() == '/')) {
        path.pop_back();
    }
    return path;
}

}  // namespace

std::string FullDebugDirectory(const std::string& directory) {
    const std::filesystem::path host = platform::MapWindowsPath(directory);
    if (host.empty()) {
        return directory;
    }
    if (const std::optional<std::string> windows = platform::WindowsPathOf(host)) {
        return WithoutTrailingSeparators(*windows) + '\\';
    }
    return WithoutTrailingSeparators(host.lexically_normal().string()) + '/';
}

bool NamesDebugDirectory(const std::string& sent, const std::string& inForce) {
    const std::string folder = WithoutTrailingSeparators(sent);
    if (folder.empty()) {
        return false;
    }
    if (folder == WithoutTrailingSeparators(inForce) ||
        folder == WithoutTrailingSeparators(FullDebugDirectory(inForce))) {
        return true;
    }
    const std::filesystem::path sentHost = platform::MapWindowsPath(sent);
    const std::filesystem::path forceHost = platform::MapWindowsPath(inForce);
    std::error_code error;
    return !sentHost.empty() && !forceHost.empty() &&
           std::filesystem::equivalent(sentHost, forceHost, error);
}

}  // namespace ruzd::app
