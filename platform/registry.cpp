#include "platform/registry.h"

#include <cstring>

#include "platform/registry_store.h"
#include "platform/text.h"
#include "platform/win_error.h"

namespace ruzd::platform {
namespace {

constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;

// Names with line breaks or nulls could not be written back to the store's text, and one that is
// no UTF-8 would leave a store that cannot be read again.
bool HasForbiddenCharacter(std::string_view name) {
    return name.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos ||
           FirstIllFormedUtf8(name) != std::string_view::npos;
}

// "a\b\c" -> {a, b, c}. A trailing backslash is tolerated; a leading one, or an empty name
// between two, is not.
uint32_t SplitSubkey(std::string_view subkey, std::vector<std::string>* parts) {
    if (!subkey.empty() && subkey.front() == '\\') {
        return kErrorBadPathname;
    }
    if (!subkey.empty() && subkey.back() == '\\') {
        subkey.remove_suffix(1);
    }
    while (!subkey.empty()) {
        const size_t slash = subkey.find('\\');
        const std::string_view part = subkey.substr(0, slash);
        if (part.empty()) {
            return kErrorBadPathname;
        }
        if (part.size() > kMaxKeyNameLength || HasForbiddenCharacter(part)) {
            return kErrorInvalidParameter;
        }
        parts->emplace_back(part);
        if (slash == std::string_view::npos) {
            break;
        }
        subkey.remove_prefix(slash + 1);
    }
    return kErrorSuccess;
}

bool ValidValueName(std::string_view name) {
    return name.size() <= kMaxValueNameLength && !HasForbiddenCharacter(name);
}

// The names along `path` as the store spells them; false when a key on it is missing.
bool SpellPath(const RegNode& root, const std::vector<std::string>& path,
               std::vector<std::string>* spelled) {
    const RegNode* node = &root;
    spelled->clear();
    for (const std::string& part : path) {
        node = node->FindSubkey(part);
        if (node == nullptr) {
            return false;
        }
        spelled->push_back(node->name());
    }
    return true;
}

uint32_t CopyValueOut(const RegValue& value, uint32_t* type, void* data, uint32_t* size) {
    if (type != nullptr) {
        *type = value.type;
    }
    const auto needed = static_cast<uint32_t>(value.data.size());
    if (data != nullptr) {
        if (*size < needed) {
            *size = needed;
            return kErrorMoreData;
        }
        if (needed > 0) {
            std::memcpy(data, value.data.data(), needed);
        }
    }
    if (size != nullptr) {
        *size = needed;
    }
    return kErrorSuccess;
}

}  // namespace

RegistryKey RegistryKey::LocalMachine() {
    return RegistryKey({}, RegAccess::kAllAccess, true);
}

RegistryKey::RegistryKey(RegistryKey&& other) noexcept
    : open_(other.open_),
      predefined_(other.predefined_),
      access_(other.access_),
      path_(std::move(other.path_)) {
    other.Close();
}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
    if (this != &other) {
        open_ = other.open_;
        predefined_ = other.predefined_;
        access_ = other.access_;
        path_ = std::move(other.path_);
        other.Close();
    }
    return *this;
}

void RegistryKey::Close() {
    open_ = false;
    predefined_ = false;
    path_.clear();
}

std::string RegistryKey::Path() const {
    std::string path;
    for (const std::string& part : path_) {
        if (!path.empty()) {
            path += '\\';
        }
        path += part;
    }
    return path;
}

uint32_t RegistryKey::Resolve(std::string_view subkey, std::vector<std::string>* path) const {
    *path = path_;
    return SplitSubkey(subkey, path);
}

uint32_t RegistryKey::OpenSubKey(std::string_view subkey, RegAccess access,
                                 RegistryKey* result) const {
    if (!open_) {
        return kErrorInvalidHandle;
    }
    if (result == nullptr) {
        return kErrorInvalidParameter;
    }
    std::vector<std::string> path;
    if (const uint32_t error = Resolve(subkey, &path); error != kErrorSuccess) {
        return error;
    }
    std::vector<std::string> spelled;
    const uint32_t error = RegistryStore::Read([&](const RegNode& root) -> uint32_t {
        if (root.Find(path_) == nullptr) {
            return kErrorKeyDeleted;
        }
        return SpellPath(root, path, &spelled) ? kErrorSuccess : kErrorFileNotFound;
    });
    if (error != kErrorSuccess) {
        return error;
    }
    if (access == RegAccess::kAllAccess && !RegistryStore::CanWrite()) {
        return kErrorAccessDenied;
    }
    *result = RegistryKey(std::move(spelled), access, predefined_ && path.empty());
    return kErrorSuccess;
}

uint32_t RegistryKey::CreateSubKey(std::string_view subkey, RegAccess access, RegistryKey* result,
                                   RegDisposition* disposition) const {
    if (!open_) {
        return kErrorInvalidHandle;
    }
    if (result == nullptr) {
        return kErrorInvalidParameter;
    }
    std::vector<std::string> path;
    if (const uint32_t error = Resolve(subkey, &path); error != kErrorSuccess) {
        return error;
    }
    const uint32_t opened = OpenSubKey(subkey, access, result);
    if (opened != kErrorFileNotFound) {
        if (opened == kErrorSuccess && disposition != nullptr) {
            *disposition = RegDisposition::kOpenedExistingKey;
        }
        return opened;
    }
    if (!predefined_ && access_ != RegAccess::kAllAccess) {
        return kErrorAccessDenied;
    }
    bool created = false;
    std::vector<std::string> spelled;
    const uint32_t error = RegistryStore::Change([&](RegNode& root) -> uint32_t {
        if (root.Find(path_) == nullptr) {
            return kErrorKeyDeleted;
        }
        RegNode* node = &root;
        spelled.clear();
        for (const std::string& part : path) {
            created = node->FindSubkey(part) == nullptr;
            node = node->AddSubkey(part);
            spelled.push_back(node->name());
        }
        return kErrorSuccess;
    });
    if (error != kErrorSuccess) {
        return error;
    }
    *result = RegistryKey(std::move(spelled), access, false);
    if (disposition != nullptr) {
        *disposition =
            created ? RegDisposition::kCreatedNewKey : RegDisposition::kOpenedExistingKey;
    }
    return kErrorSuccess;
}

uint32_t RegistryKey::DeleteSubKey(std::string_view subkey) const {
    if (!open_) {
        return kErrorInvalidHandle;
    }
    std::vector<std::string> path;
    if (const uint32_t error = Resolve(subkey, &path); error != kErrorSuccess) {
        return error;
    }
    if (path.size() == path_.size()) {
        return kErrorInvalidParameter;
    }
    const std::string name = path.back();
    path.pop_back();
    const auto remove = [&](RegNode& root) -> uint32_t {
        if (root.Find(path_) == nullptr) {
            return kErrorKeyDeleted;
        }
        RegNode* parent = root.Find(path);
        RegNode* target = parent == nullptr ? nullptr : parent->FindSubkey(name);
        if (target == nullptr) {
            return kErrorFileNotFound;
        }
        if (!target->subkeys().empty()) {
            return kErrorAccessDenied;
        }
        parent->RemoveSubkey(name);
        return kErrorSuccess;
    };
    // A key that is not there is reported as such even to a process that could not delete it.
    const uint32_t found = RegistryStore::Read([&](const RegNode& root) -> uint32_t {
        const RegNode* parent = root.Find(path);
        if (root.Find(path_) == nullptr) {
            return kErrorKeyDeleted;
        }
        return parent != nullptr && parent->FindSubkey(name) != nullptr ? kErrorSuccess
                                                                        : kErrorFileNotFound;
    });
    if (found != kErrorSuccess) {
        return found;
    }
    return RegistryStore::Change(remove);
}

uint32_t RegistryKey::QueryValue(std::string_view name, uint32_t* type, void* data,
                                 uint32_t* size) const {
    if (!open_) {
        return kErrorInvalidHandle;
    }
    if (data != nullptr && size == nullptr) {
        return kErrorInvalidParameter;
    }
    return RegistryStore::Read([&](const RegNode& root) -> uint32_t {
        const RegNode* node = root.Find(path_);
        if (node == nullptr) {
            return kErrorKeyDeleted;
        }
        const RegValue* value = node->FindValue(name);
        return value == nullptr ? kErrorFileNotFound : CopyValueOut(*value, type, data, size);
    });
}

uint32_t RegistryKey::SetValue(std::string_view name, uint32_t type, const void* data,
                               uint32_t size) const {
    if (!open_) {
        return kErrorInvalidHandle;
    }
    if ((data == nullptr && size > 0) || !ValidValueName(name)) {
        return kErrorInvalidParameter;
    }
    if (access_ != RegAccess::kAllAccess) {
        return kErrorAccessDenied;
    }
    std::string bytes(static_cast<const char*>(data), data == nullptr ? 0 : size);
    return RegistryStore::Change([&](RegNode& root) -> uint32_t {
        RegNode* node = root.Find(path_);
        if (node == nullptr) {
            return kErrorKeyDeleted;
        }
        node->SetValue(name, type, bytes);
        return kErrorSuccess;
    });
}

uint32_t RegistryKey::DeleteValue(std::string_view name) const {
    if (!open_) {
        return kErrorInvalidHandle;
    }
    if (access_ != RegAccess::kAllAccess) {
        return kErrorAccessDenied;
    }
    return RegistryStore::Change([&](RegNode& root) -> uint32_t {
        RegNode* node = root.Find(path_);
        if (node == nullptr) {
            return kErrorKeyDeleted;
        }
        return node->RemoveValue(name) ? kErrorSuccess : kErrorFileNotFound;
    });
}

uint32_t RegistryKey::EnumValue(uint32_t index, std::string* name, uint32_t* type, void* data,
                                uint32_t* size) const {
    if (!open_) {
        return kErrorInvalidHandle;
    }
    if (data != nullptr && size == nullptr) {
        return kErrorInvalidParameter;
    }
    return RegistryStore::Read([&](const RegNode& root) -> uint32_t {
        const RegNode* node = root.Find(path_);
        if (node == nullptr) {
            return kErrorKeyDeleted;
        }
        if (index >= node->values().size()) {
            return kErrorNoMoreItems;
        }
        const RegValue& value = node->values()[index];
        if (name != nullptr) {
            *name = value.name;
        }
        return CopyValueOut(value, type, data, size);
    });
}

uint32_t RegistryKey::EnumSubKey(uint32_t index, std::string* name) const {
    if (!open_) {
        return kErrorInvalidHandle;
    }
    if (name == nullptr) {
        return kErrorInvalidParameter;
    }
    return RegistryStore::Read([&](const RegNode& root) -> uint32_t {
        const RegNode* node = root.Find(path_);
        if (node == nullptr) {
            return kErrorKeyDeleted;
        }
        if (index >= node->subkeys().size()) {
            return kErrorNoMoreItems;
        }
        *name = node->subkeys()[index]->name();
        return kErrorSuccess;
    });
}

}  // namespace ruzd::platform
