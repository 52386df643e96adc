#include "foundation/dialogic_install.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "platform/text.h"
#include "platform/win_error.h"

namespace ruzd::foundation {
namespace {

constexpr std::string_view kConfigurationKey = "Software\\Dialogic\\Configuration";
constexpr std::string_view kSystemInformationKey = "Software\\Dialogic\\System Information";
// Buffer sizes in characters, the terminating null included.
constexpr uint32_t kMaxPathCharacters = 260;
constexpr uint32_t kMaxReleaseCharacters = 129;

std::optional<platform::RegistryKey> OpenForReading(std::string_view path) {
    platform::RegistryKey key;
    if (platform::RegistryKey::LocalMachine().OpenSubKey(path, platform::RegAccess::kRead, &key) !=
        platform::kErrorSuccess) {
        return std::nullopt;
    }
    return key;
}

// The value as wide text up to its first null (or its end, when it was stored without one).
// With a limit, a value that does not fit a buffer of that many characters is missing.
std::optional<std::string> ReadText(const platform::RegistryKey& key, std::string_view name,
                                    std::optional<uint32_t> maxCharacters = std::nullopt) {
    uint32_t size = 0;
    if (key.QueryValue(name, nullptr, nullptr, &size) != platform::kErrorSuccess ||
        (maxCharacters && size > 2 * *maxCharacters)) {
        return std::nullopt;
    }
    std::vector<char> bytes(size);
    if (key.QueryValue(name, nullptr, bytes.data(), &size) != platform::kErrorSuccess) {
        return std::nullopt;
    }
    size_t end = 0;
    while (end + 1 < size && (bytes[end] != '\0' || bytes[end + 1] != '\0')) {
        end += 2;
    }
    return platform::Utf16leBytesToUtf8(std::string_view(bytes.data(), end));
}

bool GetConfigurationDirectory(std::string_view name, std::string& path) {
    path.clear();
    const auto key = OpenForReading(kConfigurationKey);
    if (!key) {
        return false;
    }
    const auto value = ReadText(*key, name, kMaxPathCharacters);
    if (!value) {
        return false;
    }
    path = *value;
    if (path.empty() || path.back() != '\\') {
        path += '\\';
    }
    return true;
}

// The key of the release in use: the system release, else the maintenance release.
std::optional<platform::RegistryKey> OpenActiveRelease() {
    std::optional<std::string> release;
    if (const auto key = OpenForReading(kSystemInformationKey)) {
        release = ReadText(*key, "ActiveSystemRelease", kMaxReleaseCharacters);
        if (!release) {
            release = ReadText(*key, "ActiveMaintenanceRelease", kMaxReleaseCharacters);
        }
    }
    if (!release) {
        return std::nullopt;
    }
    return OpenForReading(std::string(kSystemInformationKey) + '\\' + *release);
}

}  // namespace

bool GetDialogicSdkDir(std::string& path) {
    return GetConfigurationDirectory("DNASDKDIR", path);
}

bool GetDialogicConfigPath(std::string& path) {
    return GetConfigurationDirectory("DLCFGPATH", path);
}

std::string GetDialogicSystemRelease() {
    const auto release = OpenActiveRelease();
    return release ? ReadText(*release, "Product Name").value_or("") : std::string();
}

DialogicVersion GetDialogicVersion() {
    DialogicVersion result;
    const auto release = OpenActiveRelease();
    if (!release) {
        return result;
    }
    if (auto version = ReadText(*release, "Product Version")) {
        result.found = true;
        result.version = std::move(*version);
        result.build = ReadText(*release, "Build Number").value_or("");
    }
    return result;
}

std::string GetDialogicVersionString() {
    const DialogicVersion version = GetDialogicVersion();
    if (!version.found) {
        return {};
    }
    return version.build.empty() ? version.version : version.version + '.' + version.build;
}

}  // namespace ruzd::foundation
