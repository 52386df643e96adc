#include "foundation/registry.h"

#include <atomic>
#include <string>
#include <vector>

#include "platform/registry_store.h"
#include "platform/text.h"
#include "platform/win_error.h"

namespace ruzd::foundation {
namespace {

constexpr std::string_view kSettingsRoot = "Software\\Ruzd\\";

// Text up to the first null code unit of UTF-16LE bytes.
std::string TextUpToNull(const std::vector<char>& bytes) {
    size_t end = 0;
    while (end + 1 < bytes.size() && (bytes[end] != '\0' || bytes[end + 1] != '\0')) {
        end += 2;
    }
    return platform::Utf16leBytesToUtf8(std::string_view(bytes.data(), end));
}

// What the store said about the failed change, else what its error code says.
std::string ProblemOfStore(uint32_t error) {
    std::string problem = platform::RegistryStore::TakeChangeProblem();
    if (!problem.empty()) {
        return problem;
    }
    if (error == platform::kErrorAccessDenied) {
        return "this account may not change the registry file " +
               platform::RegistryStore::StorePath().string();
    }
    return platform::WinErrorText(error);
}

std::atomic<RegistryWriteFailureReporter> g_write_failure_reporter{nullptr};

void ReportFailure(std::string_view name, std::string_view shown, const std::string& problem) {
    if (const auto reporter = g_write_failure_reporter.load()) {
        reporter(name, shown, problem);
    }
}

}  // namespace

void SetRegistryWriteFailureReporter(RegistryWriteFailureReporter reporter) {
    g_write_failure_reporter.store(reporter);
}

bool IsOfKind(RegistryValueKind kind, uint32_t type, size_t size) {
    const bool text =
        type == platform::kRegSz || type == platform::kRegExpandSz || type == platform::kRegMultiSz;
    return kind == RegistryValueKind::kText ? text : !text && size <= 4;
}

CRegistry::CRegistry(const char* section) {
    std::string path(kSettingsRoot);
    path += section != nullptr ? section : "Default";
    platform::RegistryKey key;
    platform::RegistryStore::TakeChangeProblem();
    const uint32_t error = platform::RegistryKey::LocalMachine().CreateSubKey(
        path, platform::RegAccess::kAllAccess, &key);
    if (error == platform::kErrorSuccess) {
        key_ = std::move(key);
    } else {
        closed_problem_ = ProblemOfStore(error);
    }
}

bool CRegistry::ReadRaw(std::string_view name, void* data, uint32_t sizeInBytes) {
    if (!key_.IsOpen()) {
        return false;
    }
    return key_.QueryValue(name, nullptr, data, &sizeInBytes) == platform::kErrorSuccess;
}

bool CRegistry::ReadString(std::string_view name, std::string& value) {
    if (!key_.IsOpen()) {
        return false;
    }
    uint32_t type = 0;
    uint32_t size = 0;
    if (key_.QueryValue(name, &type, nullptr, &size) != platform::kErrorSuccess || size == 0 ||
        !IsOfKind(RegistryValueKind::kText, type, size)) {
        return false;
    }
    // Twice the size leaves room for a value that grows between the two queries; the zeroed
    // tail ends a value that was stored without its null.
    uint32_t capacity = 2 * size;
    std::vector<char> buffer(capacity + 2, '\0');
    if (key_.QueryValue(name, nullptr, buffer.data(), &capacity) != platform::kErrorSuccess) {
        return false;
    }
    value = TextUpToNull(buffer);
    return true;
}

bool CRegistry::ReadDword(std::string_view name, uint32_t* value) {
    if (!key_.IsOpen() || value == nullptr) {
        return false;
    }
    unsigned char bytes[4] = {};
    uint32_t size = sizeof bytes;
    uint32_t type = 0;
    if (key_.QueryValue(name, &type, bytes, &size) != platform::kErrorSuccess ||
        !IsOfKind(RegistryValueKind::kDword, type, size)) {
        return false;
    }
    *value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
             static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return true;
}

bool CRegistry::WriteString(std::string_view name, std::string_view value) {
    return !KeepsOtherKind(name, RegistryValueKind::kText) && ReplaceString(name, value);
}

bool CRegistry::WriteDword(std::string_view name, uint32_t value) {
    return !KeepsOtherKind(name, RegistryValueKind::kDword) && ReplaceDword(name, value);
}

bool CRegistry::ReplaceString(std::string_view name, std::string_view value) {
    return SetValue(name, platform::kRegSz,
                    platform::Utf8ToUtf16leBytes(value) + std::string(2, '\0'),
                    "\"" + std::string(value) + "\"");
}

bool CRegistry::ReplaceDword(std::string_view name, uint32_t value) {
    const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8),
                           static_cast<char>(value >> 16), static_cast<char>(value >> 24)};
    return SetValue(name, platform::kRegDword, std::string(bytes, sizeof bytes),
                    std::to_string(value));
}

bool CRegistry::KeepsOtherKind(std::string_view name, RegistryValueKind kind) {
    kept_other_kind_ = false;
    uint32_t type = 0;
    uint32_t size = 0;
    if (!key_.IsOpen() || key_.QueryValue(name, &type, nullptr, &size) != platform::kErrorSuccess ||
        IsOfKind(kind, type, size)) {
        return false;
    }
    write_problem_ = "a value of another type stands there, kept as written";
    kept_other_kind_ = true;
    return true;
}

bool CRegistry::SetValue(std::string_view name, uint32_t type, const std::string& bytes,
                         std::string_view shown) {
    write_problem_.clear();
    kept_other_kind_ = false;
    if (!key_.IsOpen()) {
        write_problem_ = closed_problem_;
        ReportFailure(name, shown, write_problem_);
        return false;
    }
    platform::RegistryStore::TakeChangeProblem();
    const uint32_t error =
        key_.SetValue(name, type, bytes.data(), static_cast<uint32_t>(bytes.size()));
    if (error != platform::kErrorSuccess) {
        write_problem_ = ProblemOfStore(error);
        ReportFailure(name, shown, write_problem_);
    }
    return error == platform::kErrorSuccess;
}

bool CRegistry::DeleteKey(std::string_view subkey) {
    return key_.IsOpen() && key_.DeleteSubKey(subkey) == platform::kErrorSuccess;
}

bool CRegistry::EnumValue(uint32_t index, std::string* name, void* data, uint32_t* dataLength) {
    if (!key_.IsOpen() || (data != nullptr && dataLength == nullptr)) {
        return false;
    }
    std::string found;
    if (key_.EnumValue(index, &found, nullptr, data, dataLength) != platform::kErrorSuccess) {
        return false;
    }
    if (name != nullptr) {
        *name = std::move(found);
    }
    return true;
}

}  // namespace ruzd::foundation
