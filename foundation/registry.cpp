#include "foundation/registry.h"

#include <vector>

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

}  // namespace

bool IsOfKind(RegistryValueKind kind, uint32_t type, size_t size) {
    const bool text =
        type == platform::kRegSz || type == platform::kRegExpandSz || type == platform::kRegMultiSz;
    return kind == RegistryValueKind::kText ? text : !text && size <= 4;
}

CRegistry::CRegistry(const char* section) {
    std::string path(kSettingsRoot);
    path += section != nullptr ? section : "Default";
    platform::RegistryKey key;
    if (platform::RegistryKey::LocalMachine().CreateSubKey(path, platform::RegAccess::kAllAccess,
                                                           &key) == platform::kErrorSuccess) {
        key_ = std::move(key);
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
    if (!key_.IsOpen() || StandsAsOtherKind(name, RegistryValueKind::kText)) {
        return false;
    }
    const std::string bytes = platform::Utf8ToUtf16leBytes(value) + std::string(2, '\0');
    return key_.SetValue(name, platform::kRegSz, bytes.data(),
                         static_cast<uint32_t>(bytes.size())) == platform::kErrorSuccess;
}

bool CRegistry::WriteDword(std::string_view name, uint32_t value) {
    if (!key_.IsOpen() || StandsAsOtherKind(name, RegistryValueKind::kDword)) {
        return false;
    }
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
        static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    return key_.SetValue(name, platform::kRegDword, bytes, sizeof bytes) == platform::kErrorSuccess;
}

bool CRegistry::StandsAsOtherKind(std::string_view name, RegistryValueKind kind) const {
    uint32_t type = 0;
    uint32_t size = 0;
    if (key_.QueryValue(name, &type, nullptr, &size) != platform::kErrorSuccess) {
        return false;
    }
    return !IsOfKind(kind, type, size);
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
