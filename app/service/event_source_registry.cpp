#include "app/service/event_source_registry.h"

#include <algorithm>

#include "platform/reg_value.h"
#include "platform/text.h"
#include "platform/win_error.h"

namespace ruzd::app {
namespace {

constexpr const char* kApplicationLog = "Application";

std::string LogKeyPath(std::string_view logName) {
    return platform::Format("SYSTEM\\CurrentControlSet\\Services\\EventLog\\%.*s",
                            static_cast<int>(logName.size()), logName.data());
}

// Hands the result to the caller's out-parameter; whether it is success.
bool Outcome(uint32_t result, uint32_t* error) {
    if (error != nullptr) {
        *error = result;
    }
    return result == platform::kErrorSuccess;
}

uint32_t SetBytes(const platform::RegistryKey& key, std::string_view name, uint32_t type,
                  const std::string& bytes) {
    return key.SetValue(name, type, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

}  // namespace

bool InstallEventSource(std::string_view logName, std::string_view sourceName,
                        std::string_view messageFile, uint32_t typesSupported) {
    platform::RegistryKey log;
    if (platform::RegistryKey::LocalMachine().OpenSubKey(LogKeyPath(logName),
                                                         platform::RegAccess::kAllAccess,
                                                         &log) != platform::kErrorSuccess) {
        return false;
    }
    platform::RegistryKey source;
    if (log.CreateSubKey(sourceName, platform::RegAccess::kAllAccess, &source) !=
        platform::kErrorSuccess) {
        return false;
    }
    bool written = SetBytes(source, "EventMessageFile", platform::kRegSz,
                            platform::RegSzBytes(messageFile)) == platform::kErrorSuccess;
    if (written) {
        written = SetBytes(source, "TypesSupported", platform::kRegDword,
                           platform::RegDwordBytes(typesSupported)) == platform::kErrorSuccess;
    }
    source.Close();
    std::vector<std::string> sources;
    if (ReadMultiString(log, "Sources", sources)) {
        const bool listed = std::any_of(
            sources.begin(), sources.end(),
            [&](const std::string& name) { return platform::EqualsIgnoreCase(name, sourceName); });
        if (!listed) {
            sources.emplace_back(sourceName);
            WriteMultiString(log, "Sources", sources);
        }
    }
    return written;
}

bool InstallEventSource(std::string_view sourceName, std::string_view messageFile,
                        uint32_t typesSupported) {
    return InstallEventSource(kApplicationLog, sourceName, messageFile, typesSupported);
}

bool UninstallEventSource(std::string_view logName, std::string_view sourceName) {
    const std::string sourcePath = LogKeyPath(logName) + "\\" + std::string(sourceName);
    if (const uint32_t result = platform::RegistryKey::LocalMachine().DeleteSubKey(sourcePath);
        result != platform::kErrorSuccess) {
        platform::SetLastError(result);
        return false;
    }
    platform::RegistryKey log;
    if (platform::RegistryKey::LocalMachine().OpenSubKey(LogKeyPath(logName),
                                                         platform::RegAccess::kAllAccess,
                                                         &log) != platform::kErrorSuccess) {
        return true;
    }
    std::vector<std::string> sources;
    if (ReadMultiString(log, "Sources", sources)) {
        const auto kept = std::remove_if(
            sources.begin(), sources.end(),
            [&](const std::string& name) { return platform::EqualsIgnoreCase(name, sourceName); });
        if (kept != sources.end()) {
            sources.erase(kept, sources.end());
            WriteMultiString(log, "Sources", sources);
        }
    }
    return true;
}

bool UninstallEventSource(std::string_view sourceName) {
    return UninstallEventSource(kApplicationLog, sourceName);
}

bool ReadMultiString(const platform::RegistryKey& key, std::string_view valueName,
                     std::vector<std::string>& strings, uint32_t* error) {
    strings.clear();
    uint32_t type = 0;
    uint32_t size = 0;
    if (const uint32_t result = key.QueryValue(valueName, &type, nullptr, &size);
        result != platform::kErrorSuccess) {
        return Outcome(result, error);
    }
    if (type != platform::kRegMultiSz) {
        platform::SetLastError(platform::kErrorInvalidData);
        return Outcome(platform::kErrorInvalidData, error);
    }
    std::string bytes(size, '\0');
    if (const uint32_t result = key.QueryValue(valueName, &type, bytes.data(), &size);
        result != platform::kErrorSuccess) {
        return Outcome(result, error);
    }
    bytes.resize(size);
    strings = platform::RegMultiSzTexts(type, bytes).value_or(std::vector<std::string>{});
    return Outcome(platform::kErrorSuccess, error);
}

bool WriteMultiString(const platform::RegistryKey& key, std::string_view valueName,
                      const std::vector<std::string>& strings, uint32_t* error) {
    return Outcome(
        SetBytes(key, valueName, platform::kRegMultiSz, platform::RegMultiSzBytes(strings)), error);
}

}  // namespace ruzd::app
